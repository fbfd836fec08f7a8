#include "config/RegistryIni.h"

#include "core/Guard.h"
#include "core/VoxError.h"
#include "core/WholeWrite.h"

#include <QDebug>
#include <QEventLoop>
#include <QSaveFile>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSettings>
#include <QTimer>
#include <utility>

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

RegistryIni::LocationReader RegistryIni::setLocationReader(LocationReader reader)
{
    return std::exchange(locationReader(), std::move(reader));
}

int RegistryIni::setTimeoutMs(int ms)
{
    return std::exchange(timeoutMs(), ms > 0 ? ms : 15000);
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
    failure.clear();
    QNetworkAccessManager manager;
    QNetworkRequest request{QUrl(url)};
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::NoLessSafeRedirectPolicy);
    request.setTransferTimeout(timeoutMs());
    QNetworkReply *reply = manager.get(request);
    // The body is taken as it arrives, a little at a time, and counted on
    // the bytes actually received: a chunked body has no length to check
    // in advance, and one larger than any configuration file is abandoned.
    reply->setReadBufferSize(ReadChunk);

    QByteArray body;
    bool tooLarge = false;
    const auto tooLargeNow = [&] {
        tooLarge = true;
        reply->abort();
    };
    const auto take = [&] {
        while (!tooLarge && reply->bytesAvailable() > 0) {
            body += reply->read(qMin(reply->bytesAvailable(), MaxDownloadSize + 1 - body.size()));
            if (body.size() > MaxDownloadSize)
                tooLargeNow();
        }
    };

    // The time-out bounds the whole transfer, not only each silence.
    QEventLoop loop;
    QTimer deadline;
    deadline.setSingleShot(true);
    bool timedOut = false;
    vox::connect(&deadline, &QTimer::timeout, reply, [&] {
        timedOut = true;
        reply->abort();
    });
    vox::connect(reply, &QNetworkReply::metaDataChanged, reply, [&] {
        bool known = false;
        const qint64 declared = reply->header(QNetworkRequest::ContentLengthHeader).toLongLong(&known);
        if (known && declared > MaxDownloadSize && !tooLarge)
            tooLargeNow();
    });
    vox::connect(reply, &QNetworkReply::readyRead, reply, take);
    vox::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    deadline.start(timeoutMs());
    if (!reply->isFinished())
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    deadline.stop();
    take();

    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    const QNetworkReply::NetworkError err = reply->error();
    if (err == QNetworkReply::HostNotFoundError || err == QNetworkReply::ConnectionRefusedError) {
        const QString text = reply->errorString();
        reply->deleteLater();
        throw VoxError(QStringLiteral("Cannot download the configuration file from %1: %2")
                           .arg(url, text));
    }
    // Only a whole 2xx answer is the file; an error page is not.
    if (!tooLarge && err == QNetworkReply::NoError && status >= 200 && status < 300)
        OnSuccess();
    else
        OnFailure();

    if (tooLarge)
        failure = QStringLiteral("the answer is larger than %1 bytes").arg(MaxDownloadSize);
    else if (timedOut || err == QNetworkReply::TimeoutError)
        failure = QStringLiteral("no complete answer within %1 ms").arg(timeoutMs());
    else if (err != QNetworkReply::NoError)
        failure = reply->errorString();
    else if (!success)
        failure = QStringLiteral("HTTP status %1").arg(status);

    if (success) {
        // Written whole or not at all: a failed write leaves the earlier copy.
        body += "\r\n";
        QSaveFile file(localPath);
        success = file.open(QIODevice::WriteOnly | QIODevice::Unbuffered) && writeWhole(file, body) && file.commit();
        if (!success)
            failure = QStringLiteral("%1 cannot be written: %2").arg(localPath, file.errorString());
    }
    if (!success)
        qWarning().noquote() << QStringLiteral("The configuration file was not downloaded from %1: %2; %3 is read as it was.")
                                    .arg(url, failure, localPath);
    reply->deleteLater();
    return success;
}
