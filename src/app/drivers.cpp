#include "app/drivers.h"

#include "odbc/odbc_session.h"

namespace malvorn::app {

oracle::Drivers defaultDrivers() {
    oracle::Drivers drivers;
    drivers.localServer = nullptr;
    drivers.odbc = odbc::openOdbcSession;
    return drivers;
}

}  // namespace malvorn::app
