#include "support/test_pki.h"

#include <cstdlib>
#include <memory>
#include <stdexcept>
#include <string>

#include "support/temp_dir.h"

namespace corvasse::test {

namespace {

constexpr const char* kOpenSsl = "/usr/bin/openssl";

// EC keys are made in a moment; the dates are fixed, so the expired
// certificate needs `openssl ca`, the one command that takes a start date.
constexpr const char* kScript = R"(set -e
key() { "$OPENSSL" genpkey -algorithm EC -pkeyopt ec_paramgen_curve:P-256 -out "$1.key"; }
ca() {
  key "$1"
  "$OPENSSL" req -x509 -new -key "$1.key" -out "$1.pem" -days 3650 -subj "/CN=Corvasse test $1" \
    -addext basicConstraints=critical,CA:TRUE -addext keyUsage=critical,keyCertSign,cRLSign
}
request() { key "$1"; "$OPENSSL" req -new -key "$1.key" -out "$1.csr" -subj "/CN=$2"; }
names() {  # altnames (none: the subject's name alone) name
  printf '[v3]\nbasicConstraints=CA:FALSE\n' > "$2.ext"
  [ -z "$1" ] || printf 'subjectAltName=%s\n' "$1" >> "$2.ext"
}
sign() {  # name ca altnames
  names "$3" "$1"
  "$OPENSSL" x509 -req -in "$1.csr" -CA "$2.pem" -CAkey "$2.key" -CAcreateserial -days 3650 \
    -extfile "$1.ext" -extensions v3 -out "$1.pem"
}
ca trusted
ca stranger
request localhost localhost && sign localhost trusted DNS:localhost,IP:127.0.0.1,IP:::1
request wrongname www.example.org && sign wrongname trusted DNS:www.example.org
request unknownca localhost && sign unknownca stranger DNS:localhost,IP:127.0.0.1
request ipasname 127.0.0.1 && sign ipasname trusted DNS:127.0.0.1
request ipincommonname 127.0.0.1 && sign ipincommonname trusted ""
request expired localhost && names DNS:localhost,IP:127.0.0.1 expired
mkdir -p issued && : > index.txt && echo 1000 > serial
cat > ca.cnf <<'END'
[ca]
default_ca = test
[test]
database = index.txt
new_certs_dir = issued
serial = serial
default_md = sha256
policy = any
[any]
commonName = supplied
END
"$OPENSSL" ca -batch -notext -config ca.cnf -cert trusted.pem -keyfile trusted.key \
  -startdate 20200101000000Z -enddate 20200201000000Z -extfile expired.ext -extensions v3 \
  -in expired.csr -out expired.pem
)";

TestPki MakePki(const std::filesystem::path& dir) {
    const std::string script = (dir / "make.sh").string();
    WriteFile(script, kScript);
    const std::string log = (dir / "make.log").string();
    const std::string command =
        "cd '" + dir.string() + "' && OPENSSL=" + kOpenSsl + " /bin/bash '" + script + "' > '" + log + "' 2>&1";
    if (std::system(command.c_str()) != 0) throw std::runtime_error("openssl failed:\n" + ReadFile(log));
    auto files = [&](const char* name) {
        return CertificateFiles{dir / (std::string(name) + ".pem"), dir / (std::string(name) + ".key")};
    };
    return TestPki{dir / "trusted.pem", files("localhost"), files("wrongname"),     files("expired"),
                   files("unknownca"),  files("ipasname"),  files("ipincommonname")};
}

}  // namespace

const TestPki& TestCertificates() {
    static const std::unique_ptr<TempDir> dir = std::make_unique<TempDir>();
    static const TestPki pki = [] {
        TestPki made = MakePki(dir->Path());
        setenv("SSL_CERT_FILE", made.caCertificate.c_str(), 1);
        return made;
    }();
    return pki;
}

}  // namespace corvasse::test
