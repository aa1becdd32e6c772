#pragma once
// The files that lie beside the executable: the presence marker System.dt,
// the template database DBTemplate.mdb (table ベーステーブル with its one
// auto-number key SYS_Q_ID) and the system store SystemData.mdb (登録データ,
// 出力データ, お気に入り, protected by the store password). The program never
// creates them; the build and the install write the missing ones with this
// generator, and start-up upgrades an older store in place.
#include <QString>

namespace programfiles {

inline constexpr char kStorePassword[] = "R#27M8XK4$QPLVWC";

// Writes those of the three files that `folder` lacks, each through a
// temporary file renamed into place only when complete; a file already there
// is kept as it is. Throws db::Error or std::runtime_error on failure.
void writeAll(const QString& folder);

void writeSystemMarker(const QString& path);
void writeTemplateDatabase(const QString& path);
void writeSystemStore(const QString& path);

}  // namespace programfiles
