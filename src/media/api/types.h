#pragma once

// The scalar types and result codes of the object model, with the sizes and values of the
// platform whose media API this layer reproduces (32-bit LONG and BOOL, 100-ns REFERENCE_TIME).

#include <cstdint>

using HRESULT = std::int32_t;
using LONG = std::int32_t;
using ULONG = std::uint32_t;
using DWORD = std::uint32_t;
using WORD = std::uint16_t;
using BYTE = std::uint8_t;
using BOOL = std::int32_t;
using LONGLONG = std::int64_t;
using REFERENCE_TIME = std::int64_t;
using LONG_PTR = std::intptr_t;
using WCHAR = char16_t;
using OLECHAR = char16_t;
using LPWSTR = WCHAR*;
using LPCWSTR = const WCHAR*;
using LPOLESTR = OLECHAR*;
using LPCOLESTR = const OLECHAR*;
using BSTR = OLECHAR*;

inline constexpr BOOL TRUE = 1;
inline constexpr BOOL FALSE = 0;

constexpr bool SUCCEEDED(HRESULT hr) { return hr >= 0; }
constexpr bool FAILED(HRESULT hr) { return hr < 0; }

constexpr HRESULT MakeHresult(std::uint32_t value) { return static_cast<HRESULT>(value); }

inline constexpr HRESULT S_OK = 0;
inline constexpr HRESULT S_FALSE = 1;
inline constexpr HRESULT E_NOTIMPL = MakeHresult(0x80004001);
inline constexpr HRESULT E_NOINTERFACE = MakeHresult(0x80004002);
inline constexpr HRESULT E_POINTER = MakeHresult(0x80004003);
inline constexpr HRESULT E_ABORT = MakeHresult(0x80004004);
inline constexpr HRESULT E_FAIL = MakeHresult(0x80004005);
inline constexpr HRESULT E_UNEXPECTED = MakeHresult(0x8000FFFF);
inline constexpr HRESULT E_ACCESSDENIED = MakeHresult(0x80070005);
inline constexpr HRESULT E_OUTOFMEMORY = MakeHresult(0x8007000E);
inline constexpr HRESULT E_INVALIDARG = MakeHresult(0x80070057);
inline constexpr HRESULT CLASS_E_NOAGGREGATION = MakeHresult(0x80040110);
inline constexpr HRESULT REGDB_E_CLASSNOTREG = MakeHresult(0x80040154);
inline constexpr HRESULT STG_E_INVALIDFUNCTION = MakeHresult(0x80030001);

// System error codes wrapped as results, as the platform's HRESULT_FROM_WIN32 does.
inline constexpr DWORD ERROR_FILE_NOT_FOUND = 2;
inline constexpr DWORD ERROR_PATH_NOT_FOUND = 3;
inline constexpr DWORD ERROR_ACCESS_DENIED = 5;
inline constexpr DWORD ERROR_WRITE_FAULT = 29;
inline constexpr DWORD ERROR_READ_FAULT = 30;
inline constexpr DWORD ERROR_SHARING_VIOLATION = 32;
inline constexpr DWORD ERROR_HANDLE_EOF = 38;
inline constexpr DWORD ERROR_FILE_EXISTS = 80;
inline constexpr DWORD ERROR_DISK_FULL = 112;
inline constexpr DWORD ERROR_FILE_TOO_LARGE = 223;
inline constexpr DWORD ERROR_DISK_QUOTA_EXCEEDED = 1295;
inline constexpr DWORD ERROR_INVALID_NAME = 123;
inline constexpr DWORD ERROR_DIRECTORY = 267;
constexpr HRESULT HRESULT_FROM_WIN32(DWORD code) {
    return code == 0 ? S_OK : MakeHresult((code & 0xFFFFu) | 0x80070000u);
}

// Media-framework results.
inline constexpr HRESULT VFW_S_NO_MORE_ITEMS = 0x00040103;
inline constexpr HRESULT VFW_S_DUPLICATE_NAME = 0x0004022D;
inline constexpr HRESULT VFW_S_PARTIAL_RENDER = 0x00040242;
inline constexpr HRESULT VFW_E_INVALIDMEDIATYPE = MakeHresult(0x80040200);
inline constexpr HRESULT VFW_E_NEED_OWNER = MakeHresult(0x80040203);
inline constexpr HRESULT VFW_E_ALREADY_CONNECTED = MakeHresult(0x80040204);
inline constexpr HRESULT VFW_E_FILTER_ACTIVE = MakeHresult(0x80040205);
inline constexpr HRESULT VFW_E_NO_ACCEPTABLE_TYPES = MakeHresult(0x80040207);
inline constexpr HRESULT VFW_E_INVALID_DIRECTION = MakeHresult(0x80040208);
inline constexpr HRESULT VFW_E_NOT_CONNECTED = MakeHresult(0x80040209);
inline constexpr HRESULT VFW_E_NO_ALLOCATOR = MakeHresult(0x8004020A);
inline constexpr HRESULT VFW_E_RUNTIME_ERROR = MakeHresult(0x8004020B);
inline constexpr HRESULT VFW_E_ENUM_OUT_OF_SYNC = MakeHresult(0x80040212);
inline constexpr HRESULT VFW_E_NOT_FOUND = MakeHresult(0x80040216);
inline constexpr HRESULT VFW_E_CANNOT_CONNECT = MakeHresult(0x80040217);
inline constexpr HRESULT VFW_E_CANNOT_RENDER = MakeHresult(0x80040218);
inline constexpr HRESULT VFW_E_NOT_STOPPED = MakeHresult(0x80040224);
inline constexpr HRESULT VFW_E_WRONG_STATE = MakeHresult(0x80040227);
inline constexpr HRESULT VFW_E_TYPE_NOT_ACCEPTED = MakeHresult(0x8004022A);
inline constexpr HRESULT VFW_E_INVALID_FILE_FORMAT = MakeHresult(0x8004022F);
inline constexpr HRESULT VFW_E_UNKNOWN_FILE_TYPE = MakeHresult(0x80040240);
inline constexpr HRESULT VFW_E_NOT_IN_GRAPH = MakeHresult(0x8004025F);
inline constexpr HRESULT VFW_E_FILE_TOO_SHORT = MakeHresult(0x80040241);
