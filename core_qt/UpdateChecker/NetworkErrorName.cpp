#include "QFileDownloader.h"

#include <QNetworkReply>

QString networkErrorName(int code)
{
    static const struct
    {
        int code;
        const char* name;
    } names[] = {
        {QNetworkReply::NoError, "NoError"},
        {QNetworkReply::ConnectionRefusedError, "ConnectionRefusedError"},
        {QNetworkReply::RemoteHostClosedError, "RemoteHostClosedError"},
        {QNetworkReply::HostNotFoundError, "HostNotFoundError"},
        {QNetworkReply::TimeoutError, "TimeoutError"},
        {QNetworkReply::OperationCanceledError, "OperationCanceledError"},
        {QNetworkReply::SslHandshakeFailedError, "SslHandshakeFailedError"},
        {QNetworkReply::TemporaryNetworkFailureError, "TemporaryNetworkFailureError"},
        {QNetworkReply::NetworkSessionFailedError, "NetworkSessionFailedError"},
        {QNetworkReply::BackgroundRequestNotAllowedError, "BackgroundRequestNotAllowedError"},
        {QNetworkReply::TooManyRedirectsError, "TooManyRedirectsError"},
        {QNetworkReply::InsecureRedirectError, "InsecureRedirectError"},
        {QNetworkReply::UnknownNetworkError, "UnknownNetworkError"},
        {QNetworkReply::ProxyConnectionRefusedError, "ProxyConnectionRefusedError"},
        {QNetworkReply::ProxyConnectionClosedError, "ProxyConnectionClosedError"},
        {QNetworkReply::ProxyNotFoundError, "ProxyNotFoundError"},
        {QNetworkReply::ProxyTimeoutError, "ProxyTimeoutError"},
        {QNetworkReply::ProxyAuthenticationRequiredError, "ProxyAuthenticationRequiredError"},
        {QNetworkReply::UnknownProxyError, "UnknownProxyError"},
        {QNetworkReply::ContentAccessDenied, "ContentAccessDenied"},
        {QNetworkReply::ContentOperationNotPermittedError, "ContentOperationNotPermittedError"},
        {QNetworkReply::ContentNotFoundError, "ContentNotFoundError"},
        {QNetworkReply::AuthenticationRequiredError, "AuthenticationRequiredError"},
        {QNetworkReply::ContentReSendError, "ContentReSendError"},
        {QNetworkReply::ContentConflictError, "ContentConflictError"},
        {QNetworkReply::ContentGoneError, "ContentGoneError"},
        {QNetworkReply::UnknownContentError, "UnknownContentError"},
        {QNetworkReply::ProtocolUnknownError, "ProtocolUnknownError"},
        {QNetworkReply::ProtocolInvalidOperationError, "ProtocolInvalidOperationError"},
        {QNetworkReply::ProtocolFailure, "ProtocolFailure"},
        {QNetworkReply::InternalServerError, "InternalServerError"},
        {QNetworkReply::OperationNotImplementedError, "OperationNotImplementedError"},
        {QNetworkReply::ServiceUnavailableError, "ServiceUnavailableError"},
        {QNetworkReply::UnknownServerError, "UnknownServerError"},
    };
    for (const auto& entry : names) {
        if (entry.code == code)
            return QStringLiteral("QNetworkReply::") + QLatin1String(entry.name);
    }
    return QStringLiteral("QNetworkReply::Unknown");
}
