// SQL Server (or any database with an ODBC driver) through unixODBC: the
// providers "SQLOLEDB", "MSOLEDBSQL", "SQLNCLI11", "MSDASQL" and "ODBC".
//
// The classic SQL Server connection string of the component's hosts
//   Provider=SQLOLEDB;Data Source=srv\inst;Initial Catalog=plz;
//   User ID=anna;Password=…   (or Integrated Security=SSPI)
// is mapped to an ODBC driver connection string for the first installed of
// "ODBC Driver 18 for SQL Server", "ODBC Driver 17 for SQL Server" and
// "FreeTDS". A "Driver=" or "DSN=" key names the driver or data source
// directly; all other keys then go to the driver as they are (so any ODBC
// database can be reached, PostgreSQL through psqlODBC included).
//
// Statements go to the server unchanged: they are SQL Server text already.
// Record sets are read completely (client-side cursor); texts travel as
// UTF-16 through the wide ODBC calls, so umlauts arrive whatever the
// driver's or the client's character set.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "noxplz/db.h"

namespace noxplz::odbc {

std::unique_ptr<DbBackend> open_backend(const std::map<std::string, std::string>& properties);

// The ODBC connection string for the properties. `installed` lists the
// installed drivers (the first SQL Server driver among them is chosen when
// the properties name none). Raises a German Error when no driver fits.
std::string driver_connection_string(const std::map<std::string, std::string>& properties,
                                     const std::vector<std::string>& installed);

// The drivers unixODBC knows (odbcinst.ini).
std::vector<std::string> installed_drivers();

}  // namespace noxplz::odbc
