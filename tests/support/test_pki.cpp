#include "support/test_pki.h"

#include <cstdlib>
#include <ctime>
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
mkdir hashed && cp trusted.pem "hashed/$("$OPENSSL" x509 -subject_hash -noout -in trusted.pem).0"
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
unique_subject = no
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

// A certificate issued with `openssl ca` (which keeps the serial numbers)
// for its given dates.
constexpr const char* kIssueScript = R"(set -e
"$OPENSSL" genpkey -algorithm EC -pkeyopt ec_paramgen_curve:P-256 -out "$1.key"
"$OPENSSL" req -new -key "$1.key" -out "$1.csr" -subj /CN=localhost
"$OPENSSL" ca -batch -notext -config ca.cnf -cert trusted.pem -keyfile trusted.key \
  -startdate "$2" -enddate "$3" -extfile localhost.ext -extensions v3 -in "$1.csr" -out "$1.pem"
)";

// Runs a script in the folder with its arguments; throws with its output when it fails.
void RunScript(const std::filesystem::path& dir, const char* name, const char* text, const std::string& arguments) {
    const std::string script = (dir / name).string();
    WriteFile(script, text);
    const std::string log = (dir / (std::string(name) + ".log")).string();
    const std::string command = "cd '" + dir.string() + "' && OPENSSL=" + kOpenSsl + " /bin/bash '" + script + "' " +
                                arguments + " > '" + log + "' 2>&1";
    if (std::system(command.c_str()) != 0) throw std::runtime_error("openssl failed:\n" + ReadFile(log));
}

// "20270102120000Z"
std::string CertificateTime(std::chrono::system_clock::time_point when) {
    const std::time_t seconds = std::chrono::system_clock::to_time_t(when);
    std::tm parts{};
    gmtime_r(&seconds, &parts);
    char text[32];
    std::strftime(text, sizeof text, "%Y%m%d%H%M%SZ", &parts);
    return text;
}

TestPki MakePki(const std::filesystem::path& dir) {
    RunScript(dir, "make.sh", kScript, "");
    auto files = [&](const char* name) {
        return CertificateFiles{dir / (std::string(name) + ".pem"), dir / (std::string(name) + ".key")};
    };
    return TestPki{dir,
                   dir / "trusted.pem",
                   dir / "hashed",
                   files("localhost"),
                   files("wrongname"),
                   files("expired"),
                   files("unknownca"),
                   files("ipasname"),
                   files("ipincommonname")};
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

CertificateFiles CertificateEndingAt(std::chrono::system_clock::time_point end) {
    static int made = 0;
    const std::filesystem::path& dir = TestCertificates().folder;
    const std::string name = "ending" + std::to_string(++made);
    const auto start = std::chrono::system_clock::now() - std::chrono::hours(24);
    RunScript(dir, "issue.sh", kIssueScript, name + " " + CertificateTime(start) + " " + CertificateTime(end));
    return {dir / (name + ".pem"), dir / (name + ".key")};
}

}  // namespace corvasse::test
