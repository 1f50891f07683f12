// Which HTTPS servers the program trusts: those whose certificate chain leads to a CA of the
// system's store or of one extra PEM file that the program names (its [Servers] CaFile).
// Every transfer, of the command engine and of the download engine alike, verifies the
// chain; the certificate's host name is checked where a request asks for it
// (CHttpBase::m_checkHost). Plain HTTP is not affected.
//
// Any thread; a transfer takes the setting when it starts.
#pragma once

#include <memory>
#include <string>

// Reads the extra CA file (Windows form); an empty path: none. False, with no extra CA
// kept, when the file cannot be read or holds no PEM certificate.
bool SetHttpExtraCaFile(const std::wstring& path);

// The CA text to hand to libcurl in place of its own bundle file: the extra CA, and the
// system's bundle where libcurl has no CA folder to search besides. Null when there is no
// extra CA (libcurl's own store applies alone).
std::shared_ptr<const std::string> HttpTrustedCaText();
