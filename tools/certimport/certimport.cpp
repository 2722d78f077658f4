// certimport CERT.crt: adds a PEM or DER certificate to the machine ROOT store. The test suite uses
// it to trust its own CA inside its private Wine prefix.
#include <windows.h>
#include <wincrypt.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

int wmain(int argc, wchar_t** argv) {
    if (argc != 2) {
        std::fwprintf(stderr, L"usage: certimport CERT\n");
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (text.empty()) {
        std::fwprintf(stderr, L"certimport: cannot read %ls\n", argv[1]);
        return 1;
    }
    DWORD size = 0;
    std::vector<BYTE> der;
    if (CryptStringToBinaryA(text.c_str(), static_cast<DWORD>(text.size()), CRYPT_STRING_BASE64HEADER, nullptr,
                             &size, nullptr, nullptr)) {
        der.resize(size);
        CryptStringToBinaryA(text.c_str(), static_cast<DWORD>(text.size()), CRYPT_STRING_BASE64HEADER, der.data(),
                             &size, nullptr, nullptr);
        der.resize(size);
    } else {
        der.assign(text.begin(), text.end());
    }
    HCERTSTORE store = CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0, CERT_SYSTEM_STORE_LOCAL_MACHINE, L"ROOT");
    if (!store) {
        std::fwprintf(stderr, L"certimport: cannot open ROOT store (%lu)\n", GetLastError());
        return 1;
    }
    BOOL ok = CertAddEncodedCertificateToStore(store, X509_ASN_ENCODING, der.data(), static_cast<DWORD>(der.size()),
                                               CERT_STORE_ADD_REPLACE_EXISTING, nullptr);
    DWORD err = GetLastError();
    CertCloseStore(store, 0);
    if (!ok) {
        std::fwprintf(stderr, L"certimport: cannot add certificate (%lu)\n", err);
        return 1;
    }
    return 0;
}
