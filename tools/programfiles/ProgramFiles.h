#pragma once
// The files that lie beside the executable: the presence marker System.dt,
// the template database DBTemplate.mdb (table ベーステーブル with its one
// auto-number key SYS_Q_ID) and the system store SystemData.mdb (登録データ,
// 出力データ, お気に入り, protected by the store password). The program never
// creates them; the build writes them with this generator.
#include <QString>

namespace programfiles {

inline constexpr char kStorePassword[] = "R#27M8XK4$QPLVWC";

// Writes the three files into `folder`, each through a temporary file that
// replaces the old one only when complete. Throws db::Error or
// std::runtime_error on failure; a file already there is replaced.
void writeAll(const QString& folder);

void writeSystemMarker(const QString& path);
void writeTemplateDatabase(const QString& path);
void writeSystemStore(const QString& path);

}  // namespace programfiles
