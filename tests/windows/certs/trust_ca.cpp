// Adds the PEM certificate named on the command line to the user's trusted
// root store (HKCU), so that schannel trusts a test server's certificate in
// the Wine prefix. Exit code 0 when it is there afterwards.
//
// The program's own route for a test CA (QUORBILAN_UPDATE_CA, handed to Qt as
// CA certificates) does not work under Wine: Qt's schannel backend turns that
// list into a store through a PKCS#12 without a private key, which Wine's
// PFXImportCertStore refuses.
#include <windows.h>
#include <wincrypt.h>

#include <cstdio>
#include <vector>

int wmain(int argc, wchar_t** argv)
{
    if (argc != 2)
        return 2;
    HANDLE file = CreateFileW(argv[1], GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return 3;
    std::vector<char> pem(GetFileSize(file, nullptr));
    DWORD got = 0;
    const BOOL read = ReadFile(file, pem.data(), DWORD(pem.size()), &got, nullptr);
    CloseHandle(file);
    if (!read || got != pem.size())
        return 3;
    DWORD size = 0;
    if (!CryptStringToBinaryA(pem.data(), got, CRYPT_STRING_BASE64HEADER, nullptr, &size, nullptr, nullptr))
        return 4;
    std::vector<BYTE> der(size);
    if (!CryptStringToBinaryA(pem.data(), got, CRYPT_STRING_BASE64HEADER, der.data(), &size, nullptr, nullptr))
        return 4;
    HCERTSTORE root = CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0, CERT_SYSTEM_STORE_CURRENT_USER, L"Root");
    if (!root)
        return 5;
    const BOOL added = CertAddEncodedCertificateToStore(root, X509_ASN_ENCODING, der.data(), size,
                                                        CERT_STORE_ADD_REPLACE_EXISTING, nullptr);
    if (!added)
        std::fprintf(stderr, "trust_ca: CertAddEncodedCertificateToStore failed, error %lu\n", GetLastError());
    CertCloseStore(root, 0);
    return added ? 0 : 6;
}
