// What the collectors compute, with OpenSSL and their own copy of the keys they share with the
// installer: oracles independent of the installer's code, for the tests and the loopback
// update server. Pure functions, any thread.
#pragma once

#include <string>

namespace testsupport {

// MD5 as lower-case hex, as the program writes its digests.
std::string OpenSslMd5Hex(const std::string& bytes);
// The sign a download-log upload carries for its `data` field.
std::string DownloadLogSign(const std::string& data);
// The line inside a statistics record's body (upper-case hex of DES-ECB with PKCS#5 padding);
// false for a body that encryption under the shared key cannot give.
bool DecryptStatisticsBody(const std::string& hex, std::string* line);

}  // namespace testsupport
