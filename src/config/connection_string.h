// The PostgreSQL store's libpq connection string, checked when the
// configuration is read.
#pragma once

#include <string>
#include <string_view>

namespace portavel {

// Why `conninfo` cannot be the store's connection string, or "" when it
// can. It is either keyword=value settings (values may be quoted 'a b',
// with \' and \\ escapes) or a postgresql:// (postgres://) URI, read the
// way libpq reads them.
//
// A password in it is refused, in every place libpq would take one from:
// the password keyword, user:password@ and ?password= of a URI, and a
// connection string given as a dbname value. The configuration file is
// readable by the web server's group and is copied and shown more freely
// than a password should be; libpq's password file and service file keep
// the password apart, readable by the programs' own user only.
std::string ConnectionStringProblem(std::string_view conninfo);

}  // namespace portavel
