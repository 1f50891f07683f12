// Messages, notifications, structures and style bits of the rich-edit text
// services, with the numbers their callers send and compare.
//
// Positions count characters of the program's wide strings (UTF-32 here), and
// the text keeps one character, a carriage return, for each paragraph break.
// Buffers passed with code page 1200 hold wchar_t.
#pragma once

#include "platform/window/WinMessages.h"
#include "platform/window/WindowTypes.h"

// Edit-control styles the text host reads from its owner.
inline constexpr DWORD ES_LEFT = 0x0000;
inline constexpr DWORD ES_CENTER = 0x0001;
inline constexpr DWORD ES_RIGHT = 0x0002;
inline constexpr DWORD ES_MULTILINE = 0x0004;
inline constexpr DWORD ES_PASSWORD = 0x0020;
inline constexpr DWORD ES_AUTOVSCROLL = 0x0040;
inline constexpr DWORD ES_AUTOHSCROLL = 0x0080;
inline constexpr DWORD ES_NOHIDESEL = 0x0100;
inline constexpr DWORD ES_READONLY = 0x0800;
// One bit, two names: plain edit controls read it as digits-only, the text services as
// "show scroll bars disabled instead of hiding them".
inline constexpr DWORD ES_NUMBER = 0x2000;
inline constexpr DWORD ES_DISABLENOSCROLL = 0x2000;

// Scroll bars and scroll requests (WM_HSCROLL / WM_VSCROLL low word).
inline constexpr int SB_HORZ = 0;
inline constexpr int SB_VERT = 1;
inline constexpr int SB_CTL = 2;
inline constexpr int SB_BOTH = 3;
inline constexpr WORD SB_LINEUP = 0;
inline constexpr WORD SB_LINELEFT = 0;
inline constexpr WORD SB_LINEDOWN = 1;
inline constexpr WORD SB_LINERIGHT = 1;
inline constexpr WORD SB_PAGEUP = 2;
inline constexpr WORD SB_PAGELEFT = 2;
inline constexpr WORD SB_PAGEDOWN = 3;
inline constexpr WORD SB_PAGERIGHT = 3;
inline constexpr WORD SB_THUMBPOSITION = 4;
inline constexpr WORD SB_THUMBTRACK = 5;
inline constexpr WORD SB_TOP = 6;
inline constexpr WORD SB_LEFT = 6;
inline constexpr WORD SB_BOTTOM = 7;
inline constexpr WORD SB_RIGHT = 7;
inline constexpr WORD SB_ENDSCROLL = 8;
inline constexpr UINT ESB_ENABLE_BOTH = 0;
inline constexpr UINT ESB_DISABLE_BOTH = 3;

// A thumb position travels above the low word of wParam. WPARAM is 64 bits wide here, so
// the whole position fits where a 16-bit high word would cut a tall text's offset short.
inline constexpr WPARAM MakeScrollWParam(WORD code, int position) {
    return static_cast<WPARAM>(code) | (static_cast<WPARAM>(static_cast<DWORD>(position)) << 16);
}
inline constexpr int ScrollPositionOf(WPARAM wParam) {
    return static_cast<int>(static_cast<DWORD>(wParam >> 16));
}

// Edit messages.
inline constexpr UINT EM_GETSEL = 0x00B0;
inline constexpr UINT EM_SETSEL = 0x00B1;
inline constexpr UINT EM_SCROLLCARET = 0x00B7;
inline constexpr UINT EM_GETLINECOUNT = 0x00BA;
inline constexpr UINT EM_LINEINDEX = 0x00BB;
inline constexpr UINT EM_LINELENGTH = 0x00C1;
inline constexpr UINT EM_REPLACESEL = 0x00C2;
inline constexpr UINT EM_CANUNDO = 0x00C6;
inline constexpr UINT EM_UNDO = 0x00C7;
inline constexpr UINT EM_LINEFROMCHAR = 0x00C9;
inline constexpr UINT EM_EMPTYUNDOBUFFER = 0x00CD;
inline constexpr UINT EM_GETFIRSTVISIBLELINE = 0x00CE;
inline constexpr UINT EM_POSFROMCHAR = 0x00D6;
inline constexpr UINT EM_CHARFROMPOS = 0x00D7;
inline constexpr UINT EM_EXGETSEL = WM_USER + 52;
inline constexpr UINT EM_EXLINEFROMCHAR = WM_USER + 54;
inline constexpr UINT EM_EXSETSEL = WM_USER + 55;
inline constexpr UINT EM_GETEVENTMASK = WM_USER + 59;
inline constexpr UINT EM_GETSELTEXT = WM_USER + 62;
inline constexpr UINT EM_SETEVENTMASK = WM_USER + 69;
inline constexpr UINT EM_REDO = WM_USER + 84;
inline constexpr UINT EM_CANREDO = WM_USER + 85;
inline constexpr UINT EM_GETTEXTEX = WM_USER + 94;
inline constexpr UINT EM_GETTEXTLENGTHEX = WM_USER + 95;
inline constexpr UINT EM_GETZOOM = WM_USER + 224;
inline constexpr UINT EM_SETZOOM = WM_USER + 225;

// Notification codes (ITextHost::TxNotify) and the event-mask bits that enable them.
inline constexpr UINT EN_CHANGE = 0x0300;
inline constexpr UINT EN_UPDATE = 0x0400;
inline constexpr UINT EN_MAXTEXT = 0x0501;
inline constexpr UINT EN_MSGFILTER = 0x0700;
inline constexpr UINT EN_REQUESTRESIZE = 0x0701;
inline constexpr UINT EN_SELCHANGE = 0x0702;
inline constexpr UINT EN_DROPFILES = 0x0703;
inline constexpr UINT EN_PROTECTED = 0x0704;
inline constexpr UINT EN_CORRECTTEXT = 0x0705;
inline constexpr UINT EN_STOPNOUNDO = 0x0706;
inline constexpr UINT EN_IMECHANGE = 0x0707;
inline constexpr UINT EN_SAVECLIPBOARD = 0x0708;
inline constexpr UINT EN_OLEOPFAILED = 0x0709;
inline constexpr UINT EN_OBJECTPOSITIONS = 0x070A;
inline constexpr UINT EN_LINK = 0x070B;
inline constexpr UINT EN_DRAGDROPDONE = 0x070C;

inline constexpr DWORD ENM_NONE = 0x00000000;
inline constexpr DWORD ENM_CHANGE = 0x00000001;
inline constexpr DWORD ENM_UPDATE = 0x00000002;
inline constexpr DWORD ENM_KEYEVENTS = 0x00010000;
inline constexpr DWORD ENM_MOUSEEVENTS = 0x00020000;
inline constexpr DWORD ENM_REQUESTRESIZE = 0x00040000;
inline constexpr DWORD ENM_SELCHANGE = 0x00080000;

struct CHARRANGE {
    LONG cpMin = 0;
    LONG cpMax = 0;
};

// Every notification record starts with this header.
struct NMHDR {
    HWND hwndFrom = nullptr;
    UINT_PTR idFrom = 0;
    UINT code = 0;
};

inline constexpr WORD SEL_EMPTY = 0x0000;
inline constexpr WORD SEL_TEXT = 0x0001;
inline constexpr WORD SEL_MULTICHAR = 0x0004;

struct SELCHANGE {
    NMHDR nmhdr;
    CHARRANGE chrg;
    WORD seltyp = SEL_EMPTY;
};

struct REQRESIZE {
    NMHDR nmhdr;
    RECT rc;
};

// A key or mouse message about to be handled; a host that answers S_FALSE drops it.
struct MSGFILTER {
    NMHDR nmhdr;
    UINT msg = 0;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
};

inline constexpr UINT CP_UNICODE = 1200;
inline constexpr UINT CP_UTF8 = 65001;

inline constexpr DWORD GT_DEFAULT = 0;
inline constexpr DWORD GT_USECRLF = 1;
inline constexpr DWORD GT_SELECTION = 2;

struct GETTEXTEX {
    DWORD cb = 0;  // size of the buffer in bytes
    DWORD flags = GT_DEFAULT;
    UINT codepage = CP_UNICODE;
    LPCSTR lpDefaultChar = nullptr;
    BOOL* lpUsedDefChar = nullptr;
};

inline constexpr DWORD GTL_DEFAULT = 0;
inline constexpr DWORD GTL_USECRLF = 1;
inline constexpr DWORD GTL_PRECISE = 2;
inline constexpr DWORD GTL_CLOSE = 4;
inline constexpr DWORD GTL_NUMCHARS = 8;
inline constexpr DWORD GTL_NUMBYTES = 16;

struct GETTEXTLENGTHEX {
    DWORD flags = GTL_DEFAULT;
    UINT codepage = CP_UNICODE;
};

// Character format.
inline constexpr DWORD CFM_BOLD = 0x00000001;
inline constexpr DWORD CFM_ITALIC = 0x00000002;
inline constexpr DWORD CFM_UNDERLINE = 0x00000004;
inline constexpr DWORD CFM_STRIKEOUT = 0x00000008;
inline constexpr DWORD CFM_CHARSET = 0x08000000;
inline constexpr DWORD CFM_OFFSET = 0x10000000;
inline constexpr DWORD CFM_FACE = 0x20000000;
inline constexpr DWORD CFM_COLOR = 0x40000000;
inline constexpr DWORD CFM_SIZE = 0x80000000;

inline constexpr DWORD CFE_BOLD = 0x00000001;
inline constexpr DWORD CFE_ITALIC = 0x00000002;
inline constexpr DWORD CFE_UNDERLINE = 0x00000004;
inline constexpr DWORD CFE_STRIKEOUT = 0x00000008;
inline constexpr DWORD CFE_AUTOCOLOR = 0x40000000;

inline constexpr int kFaceNameLength = 32;

struct CHARFORMAT2W {
    UINT cbSize = 0;
    DWORD dwMask = 0;
    DWORD dwEffects = 0;
    LONG yHeight = 0;  // twips
    LONG yOffset = 0;
    COLORREF crTextColor = 0;
    BYTE bCharSet = 0;
    BYTE bPitchAndFamily = 0;
    WCHAR szFaceName[kFaceNameLength] = {};
    WORD wWeight = 0;
    short sSpacing = 0;
    COLORREF crBackColor = 0;
    DWORD lcid = 0;
    DWORD dwReserved = 0;
    short sStyle = 0;
    WORD wKerning = 0;
    BYTE bUnderlineType = 0;
    BYTE bAnimation = 0;
    BYTE bRevAuthor = 0;
    BYTE bReserved1 = 0;
};

// Paragraph format.
inline constexpr DWORD PFM_STARTINDENT = 0x00000001;
inline constexpr DWORD PFM_RIGHTINDENT = 0x00000002;
inline constexpr DWORD PFM_OFFSET = 0x00000004;
inline constexpr DWORD PFM_ALIGNMENT = 0x00000008;
inline constexpr DWORD PFM_TABSTOPS = 0x00000010;
inline constexpr DWORD PFM_NUMBERING = 0x00000020;
inline constexpr DWORD PFM_RTLPARA = 0x00010000;
inline constexpr DWORD PFM_PAGEBREAKBEFORE = 0x00080000;
inline constexpr DWORD PFM_OFFSETINDENT = 0x80000000;

inline constexpr WORD PFA_LEFT = 1;
inline constexpr WORD PFA_RIGHT = 2;
inline constexpr WORD PFA_CENTER = 3;

inline constexpr int MAX_TAB_STOPS = 32;

struct PARAFORMAT2 {
    UINT cbSize = 0;
    DWORD dwMask = 0;
    WORD wNumbering = 0;
    WORD wEffects = 0;
    LONG dxStartIndent = 0;
    LONG dxRightIndent = 0;
    LONG dxOffset = 0;
    WORD wAlignment = 0;
    short cTabCount = 0;
    LONG rgxTabs[MAX_TAB_STOPS] = {};  // twips
    LONG dySpaceBefore = 0;
    LONG dySpaceAfter = 0;
    LONG dyLineSpacing = 0;
    short sStyle = 0;
    BYTE bLineSpacingRule = 0;
    BYTE bOutlineLevel = 0;
    WORD wShadingWeight = 0;
    WORD wShadingStyle = 0;
    WORD wNumberingStart = 0;
    WORD wNumberingStyle = 0;
    WORD wNumberingTab = 0;
    WORD wBorderSpace = 0;
    WORD wBorderWidth = 0;
    WORD wBorders = 0;
};
