// The one place where text crosses into Win32. Text is UTF-8 inside the
// program. On the NT line every call below takes the W function with UTF-16;
// on the 9x line (95, 98, Me), which implements only the A functions, it takes
// the A function with the ANSI code page. The W functions are looked up at run
// time, so the program's import table names only what Windows 95 and NT 4.0
// both export; so are the few A functions that came later (see LookUp in
// shim.cpp).
//
// Only platform/win32 and Windows-only program and test code include this:
// std::wstring is two bytes a character there and nowhere else.
#pragma once

#include <windows.h>
// after windows.h
#include <shellapi.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/dialogs.h"

namespace qn::platform::win32 {

// ---- text ---------------------------------------------------------------------

// UTF-8 to UTF-16. Invalid UTF-8 sequences become U+FFFD, so a damaged text
// still names nothing rather than something else. Done here rather than by
// the system, whose UTF-8 conversion Windows 95 lacks.
std::wstring Widen(std::string_view utf8);
// UTF-16 to UTF-8; lone surrogates become U+FFFD.
std::string Narrow(std::wstring_view utf16);

// True on the 9x line: the system takes only the A functions.
bool AnsiOnly();
// The system's major version (4 for 95, 98, Me and NT 4.0; 5 for 2000).
DWORD MajorVersion();

// UTF-8 to the ANSI code page. *exact becomes false when a character has no
// spelling of its own there (it is then '?', never a look-alike).
std::string ToAnsi(std::string_view utf8, bool* exact = nullptr);
std::string FromAnsi(std::string_view ansi);

// ---- files, paths, drives -----------------------------------------------------
// A path the ANSI code page cannot spell names nothing on the 9x line: such a
// call fails with ERROR_INVALID_NAME instead of naming a look-alike.

DWORD GetFileAttributesU(std::string_view path);
BOOL SetFileAttributesU(std::string_view path, DWORD attributes);
UINT GetDriveTypeU(std::string_view root);
// GetDiskFreeSpaceEx where the system has it (95 OSR2, NT 4.0 and later);
// elsewhere FALSE with ERROR_CALL_NOT_IMPLEMENTED.
BOOL GetDiskFreeSpaceExU(std::string_view path, ULARGE_INTEGER* available, ULARGE_INTEGER* total,
                         ULARGE_INTEGER* free);
BOOL GetDiskFreeSpaceU(std::string_view root, DWORD* sectorsPerCluster, DWORD* bytesPerSector,
                       DWORD* freeClusters, DWORD* totalClusters);
// The volume label (GetVolumeInformation); FALSE when it cannot be read.
BOOL GetVolumeLabelU(std::string_view root, std::string* label);
BOOL SetVolumeLabelU(std::string_view root, std::string_view label);
// The full or short form of a path as a buffer of `bufferChars` characters
// (bytes on the 9x line) would hold it: "" on failure or when it does not fit.
std::string GetFullPathNameU(std::string_view path, size_t bufferChars);
std::string GetShortPathNameU(std::string_view path, size_t bufferChars);

// One directory entry of a search.
struct FoundFile {
  DWORD attributes = 0;
  std::string name;
  uint64_t size = 0;
};
// INVALID_HANDLE_VALUE when nothing matches; close with FindClose.
HANDLE FindFirstFileU(std::string_view pattern, FoundFile* found);
BOOL FindNextFileU(HANDLE search, FoundFile* found);
// The length of a file as the directory lists it (0 for a folder). Uses
// GetFileAttributesEx, or a directory search where the system lacks it (95).
BOOL GetFileLengthU(std::string_view path, uint64_t* length);

HANDLE CreateFileU(std::string_view path, DWORD access, DWORD share, DWORD disposition, DWORD flags);
BOOL DeleteFileU(std::string_view path);
BOOL CreateDirectoryU(std::string_view path);
BOOL RemoveDirectoryU(std::string_view path);
// Moves `from` over `to`, replacing it. The 9x line has no MoveFileEx: there
// the old file is moved aside first and put back when the move fails, so `to`
// is never lost.
BOOL MoveFileReplacingU(std::string_view from, std::string_view to);

// ---- process ------------------------------------------------------------------

// The system's text for an error number, as it is (line breaks included); "" when it has none.
std::string FormatMessageU(DWORD code);
// The running program's full file name, any length; "" on failure.
std::string GetModuleFileNameU();
std::string GetCommandLineU();
BOOL CreateProcessU(std::string_view commandLine, WORD showWindow, PROCESS_INFORMATION* process);
HINSTANCE ShellExecuteU(HWND owner, std::string_view verb, std::string_view file, std::string_view folder,
                        int show);

// The version resource of a file (GetFileVersionInfo); false when it has none.
bool GetFileVersionInfoU(std::string_view path, std::vector<BYTE>* data);
// A binary value of that resource ("\\", "\\VarFileInfo\\Translation").
bool VerQueryBinaryU(const std::vector<BYTE>& data, std::string_view subBlock, const void** value,
                     UINT* length);
// A string value of that resource; "" when absent.
std::string VerQueryStringU(const std::vector<BYTE>& data, std::string_view subBlock);

// ---- windows and messages -----------------------------------------------------
// Class names are plain ASCII. A class registered here makes windows of the
// same kind as the calls below take: Unicode on NT, ANSI on 9x.

ATOM RegisterClassExU(const WNDCLASSEXA& wanted);
HWND CreateWindowExU(DWORD exStyle, std::string_view className, std::string_view text, DWORD style, int x,
                     int y, int width, int height, HWND parent, HMENU menu, HINSTANCE instance, void* param);
LRESULT DefWindowProcU(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT DefDlgProcU(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CallWindowProcU(WNDPROC proc, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
// For messages without text; a text goes through the calls below.
LRESULT SendMessageU(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
BOOL PostMessageU(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
BOOL GetMessageU(MSG* msg);
LRESULT DispatchMessageU(const MSG* msg);
BOOL IsDialogMessageU(HWND dialog, MSG* msg);
LONG_PTR GetWindowLongPtrU(HWND hwnd, int index);
LONG_PTR SetWindowLongPtrU(HWND hwnd, int index, LONG_PTR value);

BOOL SetWindowTextU(HWND hwnd, std::string_view text);
std::string GetWindowTextU(HWND hwnd);
// An edit control's selection in characters (UTF-16 units, as the control
// model counts them); the 9x line's controls count bytes.
void GetEditSelectionU(HWND edit, int* start, int* end);
void SetEditSelectionU(HWND edit, int start, int end);

// A menu item; the caption is ignored for a separator.
BOOL AppendMenuU(HMENU menu, UINT flags, UINT_PTR id, std::string_view caption);
int DrawTextU(HDC dc, std::string_view text, RECT* rect, UINT format);
// Adds a tool for the window `tool` of `parent` to a tooltip control.
BOOL AddToolU(HWND tooltip, HWND parent, HWND tool, UINT flags, std::string_view text);

// Fonts, with the face name carried in the UTF-16 record on both lines.
int GetFontU(HFONT font, LOGFONTW* out);
HFONT CreateFontIndirectU(const LOGFONTW& font);
std::wstring GetTextFaceU(HDC dc);

// A cursor or icon of the system or of a module, named by a number
// (IDC_ARROW, MAKEINTRESOURCE(n)); nullptr when there is none.
HCURSOR LoadCursorU(HINSTANCE instance, LPCWSTR id);
HANDLE LoadImageU(HINSTANCE instance, LPCWSTR id, UINT type, int width, int height, UINT flags);

// ---- boxes, dialogs, drops ----------------------------------------------------

int MessageBoxU(HWND owner, std::string_view text, std::string_view title, UINT style);
// The open-file dialog for `record` (see Win32Dialogs::OpenFile).
BOOL GetOpenFileNameU(HWND owner, OpenFileRecord& record);
// The folder dialog; false when cancelled or when the choice has no path.
bool BrowseForFolderU(HWND owner, const FolderRecord& record, std::string* folder);
UINT DragQueryFileCountU(HDROP drop);
// One dropped item; "" when it cannot be read.
std::string DragQueryFileU(HDROP drop, UINT index);

}  // namespace qn::platform::win32
