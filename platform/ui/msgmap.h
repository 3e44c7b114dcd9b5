// Message maps: each command target class carries a static table of entries (message,
// notification code, control or command id, handler thunk) and a link to its base
// class's table. Dispatch walks the class's table, then its base's, and so on.
#pragma once

#include "platform/windows_types.h"

class CCmdTarget;

// Calls the handler on the target, which the thunk casts to the class that declared the
// entry; returns what the message returns (0 for handlers without a result).
typedef LRESULT (*AfxMsgThunk)(CCmdTarget* target, WPARAM wParam, LPARAM lParam);

struct AFX_MSGMAP_ENTRY
{
    UINT message;        // 0 ends the table
    UINT code;           // WM_NOTIFY: the notification code; otherwise 0
    UINT id;             // WM_COMMAND: command id; WM_NOTIFY: control id; otherwise 0
    AfxMsgThunk thunk;
};

struct AFX_MSGMAP
{
    const AFX_MSGMAP* (*pfnGetBaseMap)();   // null for the root (CCmdTarget)
    const AFX_MSGMAP_ENTRY* lpEntries;
};

// The first entry of this map chain that handles the message, or null. WM_COMMAND
// matches on the low word of wParam, WM_NOTIFY on the NMHDR's code and idFrom.
const AFX_MSGMAP_ENTRY* AfxFindMessageEntry(const AFX_MSGMAP* map, UINT message,
                                            WPARAM wParam, LPARAM lParam);

#define DECLARE_MESSAGE_MAP()                                  \
public:                                                        \
    static const AFX_MSGMAP* GetThisMessageMap();              \
    const AFX_MSGMAP* GetMessageMap() const override;

// The table is a function-local static inside a member function, so its thunks (plain
// lambdas without captures) have the class's access to protected and private handlers.
#define BEGIN_MESSAGE_MAP(theClass, baseClass)                                   \
    const AFX_MSGMAP* theClass::GetMessageMap() const { return GetThisMessageMap(); } \
    const AFX_MSGMAP* theClass::GetThisMessageMap()                              \
    {                                                                            \
        using ThisClass [[maybe_unused]] = theClass;                             \
        typedef baseClass TheBaseClass;                                          \
        static const AFX_MSGMAP_ENTRY entries[] = {

#define END_MESSAGE_MAP()                                                        \
            { 0, 0, 0, nullptr } };                                              \
        static const AFX_MSGMAP messageMap = { &TheBaseClass::GetThisMessageMap, \
                                               &entries[0] };                    \
        return &messageMap;                                                      \
    }

// void memberFxn()
#define ON_COMMAND(id, memberFxn)                                                \
    { WM_COMMAND, 0, static_cast<UINT>(id),                                      \
      [](CCmdTarget* t, WPARAM, LPARAM) -> LRESULT {                             \
          (static_cast<ThisClass*>(t)->*(memberFxn))();                          \
          return 0; } },

// void memberFxn(NMHDR* header, LRESULT* result); result starts at 0
#define ON_NOTIFY(wNotifyCode, id, memberFxn)                                    \
    { WM_NOTIFY, static_cast<UINT>(wNotifyCode), static_cast<UINT>(id),          \
      [](CCmdTarget* t, WPARAM, LPARAM l) -> LRESULT {                           \
          LRESULT result = 0;                                                    \
          (static_cast<ThisClass*>(t)->*(memberFxn))(reinterpret_cast<NMHDR*>(l), &result); \
          return result; } },

// void OnSysCommand(UINT nID, LPARAM lParam)
#define ON_WM_SYSCOMMAND()                                                       \
    { WM_SYSCOMMAND, 0, 0,                                                       \
      [](CCmdTarget* t, WPARAM w, LPARAM l) -> LRESULT {                         \
          static_cast<ThisClass*>(t)->OnSysCommand(static_cast<UINT>(w), l);     \
          return 0; } },

// void OnPaint()
#define ON_WM_PAINT()                                                            \
    { WM_PAINT, 0, 0,                                                            \
      [](CCmdTarget* t, WPARAM, LPARAM) -> LRESULT {                             \
          static_cast<ThisClass*>(t)->OnPaint();                                 \
          return 0; } },

// HCURSOR OnQueryDragIcon()
#define ON_WM_QUERYDRAGICON()                                                    \
    { WM_QUERYDRAGICON, 0, 0,                                                    \
      [](CCmdTarget* t, WPARAM, LPARAM) -> LRESULT {                             \
          return reinterpret_cast<LRESULT>(static_cast<ThisClass*>(t)->OnQueryDragIcon()); } },
