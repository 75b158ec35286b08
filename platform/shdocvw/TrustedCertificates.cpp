#include "platform/shdocvw/TrustedCertificates.h"

#include "platform/rtl/Folders.h"

#include <QDir>
#include <QSslError>

namespace {

QList<QSslCertificate> trustedCertificates() {
  QList<QSslCertificate> all;
  const QDir dir(TrustedCertificatesDir());
  for (const QString& name : dir.entryList(QDir::Files | QDir::Readable, QDir::Name))
    all += QSslCertificate::fromPath(dir.filePath(name), QSsl::Pem);
  return all;
}

// What a verification against the system's authorities may find wrong with a
// certificate that only the profile vouches for.
bool onlyUnvouched(const QList<QSslError>& errors) {
  for (const QSslError& error : errors) {
    switch (error.error()) {
      case QSslError::SelfSignedCertificate:
      case QSslError::SelfSignedCertificateInChain:
      case QSslError::UnableToGetIssuerCertificate:
      case QSslError::UnableToGetLocalIssuerCertificate:
      case QSslError::UnableToVerifyFirstCertificate:
      case QSslError::CertificateUntrusted: break;
      default: return false;
    }
  }
  return true;
}

}  // namespace

String TrustedCertificatesDir() { return ProfileDir() + QStringLiteral("/Certificates"); }

bool ProfileTrustsCertificate(const QList<QSslCertificate>& chain, const QString& host) {
  if (chain.isEmpty() || host.isEmpty()) return false;
  const QSslCertificate& leaf = chain.front();
  if (leaf.isNull() || !trustedCertificates().contains(leaf)) return false;
  // Trust in the certificate is no excuse for a wrong name or an expired date.
  return onlyUnvouched(QSslCertificate::verify({leaf}, host));
}
