#include "Browser.h"

#include "PathHelpers.h"
#include "ProgramLocation.h"

#include <algorithm>

Browser::~Browser() = default;

BrowserProfile* Browser::addProfile(const QString& name, const QString& path)
{
    const QString normalized = normalizePath(path);
    for (const auto& profile : m_profiles) {
        if (profile->path.compare(normalized, Qt::CaseInsensitive) == 0)
            return profile.get();
    }
    m_profiles.push_back(std::make_unique<BrowserProfile>(this, name, normalized));
    return m_profiles.back().get();
}

BrowserProfile* Browser::profileByName(const QString& name) const
{
    for (const auto& profile : m_profiles) {
        if (profile->name.compare(name, Qt::CaseInsensitive) == 0)
            return profile.get();
    }
    return nullptr;
}

void Browser::removeProfile(BrowserProfile* profile)
{
    auto it = std::find_if(m_profiles.begin(), m_profiles.end(),
                           [profile](const auto& owned) { return owned.get() == profile; });
    if (it != m_profiles.end())
        m_profiles.erase(it);
}

void Browser::resolveProgramPath()
{
    if (programPathResolved)
        return;
    programPathResolved = true;
    programPath = findProgramPath(appNames());
}

QIcon Browser::icon()
{
    if (!iconLoaded) {
        iconLoaded = true;
        programIcon = iconForPath(programPath);
    }
    return programIcon;
}
