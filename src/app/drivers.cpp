#include "app/drivers.h"

#include "localserver/local_server.h"
#include "odbc/odbc_session.h"

namespace malvorn::app {

oracle::Drivers defaultDrivers() {
    oracle::Drivers drivers;
    drivers.localServer = localserver::openLocalServer;
    drivers.odbc = odbc::openOdbcSession;
    return drivers;
}

}  // namespace malvorn::app
