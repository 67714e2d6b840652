// Which folders count as a hashed certificate folder, the one sign that
// decides between reading the folder alone and reading the bundle file.

#include "net/trust_store.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/temp_dir.h"

namespace corvasse {
namespace {

TEST(TrustStoreTest, AFolderCountsWhenItHoldsAnEntryNamedByASubjectHash) {
    const struct {
        const char* name;
        std::vector<std::string> files;
        bool hashed;
    } rows[] = {
        {"a certificate under its hash", {"ca-certificates.crt", "ISRG_Root_X1.pem", "4042bcee.0"}, true},
        {"a second certificate of the same hash", {"4042bcee.1"}, true},
        {"a long sequence number", {"4042bcee.12"}, true},
        {"only the bundle and named certificates", {"ca-certificates.crt", "ISRG_Root_X1.pem"}, false},
        {"a revocation list is not a certificate", {"4042bcee.r0"}, false},
        {"capital hex digits", {"4042BCEE.0"}, false},
        {"seven hex digits", {"4042bce.0"}, false},
        {"no sequence number", {"4042bcee."}, false},
        {"an empty folder", {}, false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        test::TempDir dir;
        for (const std::string& file : row.files) test::WriteFile(dir.Path() / file, "");
        EXPECT_EQ(HoldsHashedCertificates(dir.Path().string()), row.hashed);
    }

    // A list of folders counts when any of them does; missing ones are passed over.
    test::TempDir plain, hashed;
    test::WriteFile(plain.Path() / "ca-certificates.crt", "");
    test::WriteFile(hashed.Path() / "4042bcee.0", "");
    EXPECT_TRUE(HoldsHashedCertificates("/nonexistent:" + plain.Path().string() + "::" + hashed.Path().string()));
    EXPECT_FALSE(HoldsHashedCertificates("/nonexistent:" + plain.Path().string()));
    EXPECT_FALSE(HoldsHashedCertificates(""));
}

}  // namespace
}  // namespace corvasse
