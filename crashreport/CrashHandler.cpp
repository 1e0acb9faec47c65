#include "CrashHandler.h"

#include "ReportMail.h"
#include "StringHelpers.h"

CrashHandler& CrashHandler::instance()
{
    static CrashHandler record;
    return record;
}

void CrashHandler::setAppName(const wchar_t* name)
{
    instance().appName = name ? name : L"";
}

void CrashHandler::setAppVersion(const wchar_t* version)
{
    instance().appVersion = version ? version : L"";
}

void CrashHandler::setSupportEmail(const wchar_t* address)
{
    instance().supportEmail = address ? address : L"";
}

void CrashHandler::setIconId(int id)
{
    instance().iconId = id;
}

std::wstring expandPlaceholders(const std::wstring& text, bool fileNameOnly)
{
    // Each replacement scans the result of the ones before, so an application
    // name holding %winver% gets the version text too.
    const CrashHandler& record = CrashHandler::instance();
    std::wstring result = text;
    replaceAll(result, L"%app_name%", record.appName, false);
    replaceAll(result, L"%app_version%", record.appVersion, false);
    replaceAll(result, L"%email%", record.supportEmail, false);
    replaceAll(result, L"%dump_file%", fileNameOnly ? pathFileName(record.dumpFilePath) : record.dumpFilePath, false);
    replaceAll(result, L"%winver%", winverString(), false);
    return result;
}

std::wstring reportBoxMessage()
{
    const CrashHandler& record = CrashHandler::instance();
    return expandPlaceholders(record.message, isInCurrentFolder(record.dumpFilePath));
}

std::wstring reportMailBody(bool dumpAttached)
{
    const CrashHandler& record = CrashHandler::instance();
    std::wstring text = record.mailBody;
    if (!dumpAttached) {
        replaceAll(text, L"The dump file is attached.\n(don't forget to attach the file %dump_file%)",
                   L"Please attach the dump file %dump_file% to this mail.", false);
    }
    std::wstring body = expandPlaceholders(text, false);
    if (!record.additionalInfo.empty())
        body += L"\n\nAdditional info: " + record.additionalInfo;
    return body;
}

void sendReportMail()
{
    const CrashHandler& record = CrashHandler::instance();
    sendMail(0, expandPlaceholders(record.mailSubject, false), reportMailBody(true), record.supportEmail,
             record.dumpFilePath);
}

CrashTime crashTimeFromEpoch(std::int64_t seconds)
{
    std::int64_t days = seconds / 86400;
    std::int64_t rest = seconds % 86400;
    if (rest < 0) {
        rest += 86400;
        days -= 1;
    }
    CrashTime time;
    time.hour = int(rest / 3600);
    time.minute = int(rest % 3600 / 60);
    time.second = int(rest % 60);

    // Days since 1970-01-01 to a proleptic Gregorian date, in 400-year eras.
    days += 719468;
    const std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const std::int64_t dayOfEra = days - era * 146097;
    const std::int64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const std::int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const std::int64_t monthIndex = (5 * dayOfYear + 2) / 153;
    time.day = int(dayOfYear - (153 * monthIndex + 2) / 5 + 1);
    time.month = int(monthIndex < 10 ? monthIndex + 3 : monthIndex - 9);
    time.year = int(yearOfEra + era * 400 + (time.month <= 2 ? 1 : 0));
    return time;
}

namespace {

template <typename Char>
bool appendChars(Char* out, std::size_t capacity, std::size_t& length, const Char* text)
{
    for (; text && *text; ++text) {
        if (length + 1 >= capacity)
            return false;
        out[length++] = *text;
    }
    if (length >= capacity)
        return false;
    out[length] = 0;
    return true;
}

template <typename Char>
bool appendNumber(Char* out, std::size_t capacity, std::size_t& length, int value)
{
    Char digits[16];
    int count = 0;
    unsigned magnitude = value < 0 ? 0u - unsigned(value) : unsigned(value);
    do {
        digits[count++] = Char('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude > 0);
    if (value < 0)
        digits[count++] = Char('-');
    Char text[17];
    for (int i = 0; i < count; ++i)
        text[i] = digits[count - 1 - i];
    text[count] = 0;
    return appendChars(out, capacity, length, text);
}

template <typename Char>
bool formatName(Char* out, std::size_t capacity, const Char* exe, const Char* version, const Char* winver,
                const CrashTime& time, int variant)
{
    if (capacity == 0)
        return false;
    const Char underscore[] = {'_', 0};
    const Char dash[] = {'-', 0};
    const Char dot[] = {'.', 0};
    const Char extension[] = {'.', 'd', 'm', 'p', 0};
    std::size_t length = 0;
    out[0] = 0;
    return appendChars(out, capacity, length, exe) && appendChars(out, capacity, length, underscore)
        && appendChars(out, capacity, length, version) && appendChars(out, capacity, length, underscore)
        && appendChars(out, capacity, length, winver) && appendChars(out, capacity, length, underscore)
        && appendNumber(out, capacity, length, time.year) && appendChars(out, capacity, length, dash)
        && appendNumber(out, capacity, length, time.month) && appendChars(out, capacity, length, dash)
        && appendNumber(out, capacity, length, time.day) && appendChars(out, capacity, length, underscore)
        && appendNumber(out, capacity, length, time.hour) && appendChars(out, capacity, length, dot)
        && appendNumber(out, capacity, length, time.minute) && appendChars(out, capacity, length, dot)
        && appendNumber(out, capacity, length, time.second)
        && (variant < 2 || (appendChars(out, capacity, length, dash) && appendNumber(out, capacity, length, variant)))
        && appendChars(out, capacity, length, extension);
}

} // namespace

bool formatDumpName(char* out, std::size_t capacity, const char* exe, const char* version, const char* winver,
                    const CrashTime& time, int variant)
{
    return formatName(out, capacity, exe, version, winver, time, variant);
}

bool formatDumpName(wchar_t* out, std::size_t capacity, const wchar_t* exe, const wchar_t* version,
                    const wchar_t* winver, const CrashTime& time, int variant)
{
    return formatName(out, capacity, exe, version, winver, time, variant);
}

bool appendText(char* out, std::size_t capacity, std::size_t& length, const char* text)
{
    return appendChars(out, capacity, length, text);
}

bool appendText(wchar_t* out, std::size_t capacity, std::size_t& length, const wchar_t* text)
{
    return appendChars(out, capacity, length, text);
}
