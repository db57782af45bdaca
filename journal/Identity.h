// Who writes a record: the station's host name and the operating-system user.
#pragma once

#include <QString>

namespace journal {

QString stationName();
QString operatingSystemUser();
qint64 processId();

} // namespace journal
