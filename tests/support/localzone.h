#ifndef LOCALZONE_H
#define LOCALZONE_H

#include <QByteArray>

#include <ctime>

// The local time zone for the rest of a test: TZ set to `zone` (unset for an empty one), and
// TZ as it was afterwards.
class LocalZone
{
public:
    explicit LocalZone(const QByteArray &zone)
        : m_had(qEnvironmentVariableIsSet("TZ"))
        , m_old(qgetenv("TZ"))
    {
        if (zone.isEmpty())
            qunsetenv("TZ");
        else
            qputenv("TZ", zone);
        tzset();
    }
    ~LocalZone()
    {
        if (m_had)
            qputenv("TZ", m_old);
        else
            qunsetenv("TZ");
        tzset();
    }
    LocalZone(const LocalZone &) = delete;
    LocalZone &operator=(const LocalZone &) = delete;

private:
    bool m_had;
    QByteArray m_old;
};

#endif // LOCALZONE_H
