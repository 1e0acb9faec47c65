#pragma once

#include "Browser.h"

// A program with a fixed name and no profile search of its own: tests add its
// profiles by hand.
class TestBrowser : public Browser
{
public:
    explicit TestBrowser(const QString& name = QStringLiteral("TestBrowser"),
                         const QString& family = QStringLiteral("Testing"))
        : m_name(name)
        , m_family(family)
    {
    }

    QString name() const override { return m_name; }
    QStringList processNames() const override { return {m_name.toLower()}; }
    QStringList appNames() const override { return {m_name.toLower()}; }
    QString familyName() const override { return m_family; }
    void loadProfiles() override { }
    bool isProfileFolder(const QString&) const override { return false; }

private:
    QString m_name;
    QString m_family;
};
