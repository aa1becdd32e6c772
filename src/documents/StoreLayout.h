#pragma once
// The layout of the system store (登録データ, 出力データ, お気に入り) and how
// a store of an earlier layout is brought up to date. The store holds the
// user's registrations and favourites, so it is only ever changed in place:
// a newer program adds what its layout lacks and keeps every row. The layout
// version is kept in the file's user_version.
namespace db {
class Connection;
}

namespace documents {

// Files made before the layout had a version carry 1 (every new database
// file does); the current layout is this one.
inline constexpr int kStoreLayoutVersion = 2;

// Brings the open store on `store` to the current layout in one transaction
// (nothing changes when a step fails); a store already current is left
// untouched. Throws db::Error. Returns true when something was changed.
bool upgradeStoreLayout(db::Connection& store);

// The layout version the store's file carries.
int storeLayoutVersion(db::Connection& store);

}  // namespace documents
