#pragma once
// The server certificates the profile trusts beyond the system's
// authorities: PEM files (one or more certificates each) in the profile's
// "Certificates" folder. The browser takes a page whose certificate no
// authority vouches for only when the profile trusts that very certificate;
// every other certificate error refuses the page.
#include <QList>
#include <QSslCertificate>

#include "platform/rtl/SysUtils.h"

// ProfileDir()/Certificates (not created here).
String TrustedCertificatesDir();

// True when the chain a server presented for `host` (its own certificate
// first) may be used although no authority signed it: that certificate is one
// of the profile's, is valid now and names `host`.
bool ProfileTrustsCertificate(const QList<QSslCertificate>& chain, const QString& host);
