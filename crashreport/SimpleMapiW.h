#pragma once

// The wide Simple MAPI records and send function, as MAPI32.DLL takes them
// (the toolchain's mapi.h has only the narrow ones).

#include <windows.h>

struct MapiRecipientW
{
    ULONG ulReserved;
    ULONG ulRecipClass;
    wchar_t* lpszName;
    wchar_t* lpszAddress;
    ULONG ulEIDSize;
    void* lpEntryID;
};

struct MapiFileW
{
    ULONG ulReserved;
    ULONG flFlags;
    ULONG nPosition;
    wchar_t* lpszPathName;
    wchar_t* lpszFileName;
    void* lpFileType;
};

struct MapiMessageW
{
    ULONG ulReserved;
    wchar_t* lpszSubject;
    wchar_t* lpszNoteText;
    wchar_t* lpszMessageType;
    wchar_t* lpszDateReceived;
    wchar_t* lpszConversationID;
    ULONG flFlags;
    MapiRecipientW* lpOriginator;
    ULONG nRecipCount;
    MapiRecipientW* lpRecips;
    ULONG nFileCount;
    MapiFileW* lpFiles;
};

using MapiSendMailW
    = ULONG(WINAPI*)(ULONG_PTR session, ULONG_PTR window, MapiMessageW* message, ULONG flags, ULONG reserved);
