#include "config/RegistryIni.h"

#include "core/VoxError.h"

#include <QEventLoop>
#include <QSaveFile>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSettings>
#include <QTimer>

const char *const RegistryIni::DefaultHost = "voxconfig.varnelsystems.com";
const char *const RegistryIni::LocalCopy = "./voxurl.ini";

namespace {
RegistryIni::LocationReader &locationReader()
{
    static RegistryIni::LocationReader reader;
    return reader;
}

int &timeoutMs()
{
    static int ms = 15000;
    return ms;
}

QString readLocationValue(const QString &name)
{
    if (locationReader())
        return locationReader()(name);
#ifdef Q_OS_WIN
    QSettings settings(QStringLiteral("HKEY_LOCAL_MACHINE\\Software\\Vrl"), QSettings::NativeFormat);
#else
    QSettings settings(QSettings::NativeFormat, QSettings::SystemScope, QStringLiteral("Vrl"));
#endif
    const QVariant v = settings.value(name);
    return v.canConvert<QString>() ? v.toString() : QString();
}
} // namespace

RegistryIni::RegistryIni() = default;

void RegistryIni::setLocationReader(LocationReader reader)
{
    locationReader() = std::move(reader);
}

void RegistryIni::setTimeoutMs(int ms)
{
    timeoutMs() = ms > 0 ? ms : 15000;
}

QString RegistryIni::buildUrl(const QString &server, const QString &firm, const QString &role,
                              const QString &custom)
{
    QString url = QStringLiteral("http://");
    url += server.isEmpty() ? QString::fromLatin1(DefaultHost) : server;
    url += QLatin1Char('/');
    for (const QString &segment : {firm, role, custom}) {
        if (!segment.isEmpty())
            url += segment + QLatin1Char('/');
    }
    url += QStringLiteral("voxini.htm");
    return url;
}

void RegistryIni::GetINILocation(QString &path)
{
    server = readLocationValue(QStringLiteral("iniServer"));
    firm = readLocationValue(QStringLiteral("iniFirm"));
    role = readLocationValue(QStringLiteral("iniRole"));
    custom = readLocationValue(QStringLiteral("iniCustom"));
    SaveDownloadFile(buildUrl(server, firm, role, custom), QString::fromLatin1(LocalCopy));
    path = QString::fromLatin1(LocalCopy);
}

void RegistryIni::OnSuccess()
{
    success = true;
}

void RegistryIni::OnFailure()
{
    success = false;
}

bool RegistryIni::SaveDownloadFile(const QString &url, const QString &localPath)
{
    success = false;
    QNetworkAccessManager manager;
    QNetworkRequest request{QUrl(url)};
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::NoLessSafeRedirectPolicy);
    request.setTransferTimeout(timeoutMs());
    QNetworkReply *reply = manager.get(request);

    // The time-out bounds the whole transfer, not only each silence; a body
    // larger than any configuration file is abandoned too.
    QEventLoop loop;
    QTimer deadline;
    deadline.setSingleShot(true);
    QObject::connect(&deadline, &QTimer::timeout, reply, &QNetworkReply::abort);
    QObject::connect(reply, &QNetworkReply::downloadProgress, reply, [reply](qint64 received, qint64) {
        if (received > MaxDownloadSize)
            reply->abort();
    });
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    deadline.start(timeoutMs());
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    deadline.stop();

    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    const QNetworkReply::NetworkError err = reply->error();
    if (err == QNetworkReply::HostNotFoundError || err == QNetworkReply::ConnectionRefusedError) {
        const QString text = reply->errorString();
        reply->deleteLater();
        throw VoxError(QStringLiteral("Cannot download the configuration file from %1: %2")
                           .arg(url, text));
    }
    if (err == QNetworkReply::NoError && status >= 200 && status < 300)
        OnSuccess();
    else
        OnFailure();

    if (success) {
        // Written whole or not at all: a failed write leaves the earlier copy.
        const QByteArray body = reply->readAll() + "\r\n";
        QSaveFile file(localPath);
        success = file.open(QIODevice::WriteOnly) && file.write(body) == body.size() && file.commit();
    }
    reply->deleteLater();
    return success;
}
