#pragma once

// The hidden start of the program that shows the report box of a crashed run:
// <program> --crash-report <dump path> <app name> <app version> <support e-mail> <icon id>
namespace CrashReportArguments {
inline constexpr char option[] = "--crash-report";
inline constexpr int count = 7;
} // namespace CrashReportArguments
