#pragma once

#include <QObject>
#include <QString>
#include <functional>

class QNetworkReply;

// Finds the configuration web server from the four location values and
// downloads the configuration file from it.
//
// The location values live where the platform keeps machine-wide settings:
// HKEY_LOCAL_MACHINE\Software\Vrl on Windows, the system "Vrl.conf" of the
// XDG configuration directories (/etc/xdg/Vrl.conf) elsewhere.
class RegistryIni : public QObject
{
    Q_OBJECT
public:
    using LocationReader = std::function<QString(const QString &valueName)>;

    RegistryIni();

    // Reads the location values, downloads the file and sets path to
    // "./voxurl.ini" whatever the download's outcome.
    void GetINILocation(QString &path);
    // Downloads url into localPath; true when the transfer succeeded and the
    // file was written. Raises VoxError for a host that cannot be resolved
    // or a connection that is refused.
    bool SaveDownloadFile(const QString &url, const QString &localPath);

    // The URL built from the four location values.
    static QString buildUrl(const QString &server, const QString &firm, const QString &role,
                            const QString &custom);

    QString server, firm, role, custom;
    bool success = false;
    // Why the last download was not saved; empty after a saved one.
    QString failure;

    static const char *const DefaultHost;
    // The largest configuration file a download accepts. The suite's file
    // is a few kilobytes; an answer beyond this is not a configuration file
    // (a wrong page or a runaway server) and leaves the earlier copy.
    static constexpr qint64 MaxDownloadSize = 1024 * 1024;
    // Bytes the transfer buffers ahead of the reader.
    static constexpr qint64 ReadChunk = 64 * 1024;
    static const char *const LocalCopy;

    // Tests replace where the location values come from and the time-out;
    // each setter returns the value it replaced, for putting it back.
    static LocationReader setLocationReader(LocationReader reader);
    static int setTimeoutMs(int ms);

public slots:
    void OnSuccess();
    void OnFailure();
};
