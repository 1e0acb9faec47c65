#pragma once

#include <cstdint>
#include <string>

// The texts and numbers of a file's version resource.
class FileVersionInfo
{
public:
    std::wstring fileDescription;
    std::wstring companyName;
    std::wstring fileVersion;
    // False once the resource's translation table was found.
    bool empty = true;

    uint32_t major() const { return m_major; }
    uint32_t minor() const { return m_minor; }
    uint32_t build() const { return m_build; }
    uint32_t revision() const { return m_revision; }

    // Takes a "FileVersion" text: trimmed, kept only when something is left.
    // "3, 0, 0, 118" becomes "3.0.0.118"; the numbers are read from the text
    // ("3.0" gives 3 and 0), numbers the text does not reach keep their values.
    void setFileVersion(const std::wstring& text);

private:
    uint32_t m_major = 0;
    uint32_t m_minor = 0;
    uint32_t m_build = 0;
    uint32_t m_revision = 0;
};

// Fills `info` from the file's version resource; true when its translation table
// was found. On Linux only the program's own file has one: the version numbers
// compiled into it.
bool readFileVersionInfo(const wchar_t* path, FileVersionInfo& info);

// A file or folder exists at the path; false for a null or empty path.
bool fileExists(const wchar_t* path);

// The "ProductVersion" text of the file's version resource, empty when missing.
std::wstring fileProductVersion(const wchar_t* path);
