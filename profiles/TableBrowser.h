#pragma once

#include "Browser.h"

#include <utility>

// A program described by a row of a built-in table. Every row type starts
// with name, dataPath, processNames and appNames.
template <typename Info>
class TableBrowser : public Browser
{
public:
    explicit TableBrowser(Info row)
        : info(std::move(row))
    {
    }

    QString name() const override { return info.name; }
    QStringList processNames() const override { return info.processNames; }
    QStringList appNames() const override { return info.appNames; }

    const Info& row() const { return info; }

protected:
    Info info;
};
