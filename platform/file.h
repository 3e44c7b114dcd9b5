// CFile and the CException family: the framework's file access and its exceptions.
// CFile is a thin owner of a POSIX file descriptor; failures raise CFileException with
// the file name, a cause and the OS error, as the framework's CFile does.
#pragma once

#include <string>

#include "platform/windows_types.h"

// Base of the framework's exceptions. Thrown by pointer-free value here (catch by
// reference); ErrorText gives the text the standard error box shows.
class CException
{
public:
    virtual ~CException() = default;
    // The whole message (code page 936).
    virtual std::string ErrorText() const = 0;
};

class CMemoryException : public CException
{
public:
    std::string ErrorText() const override;
};

class CInvalidArgException : public CException
{
public:
    std::string ErrorText() const override;
};

class CFileException : public CException
{
public:
    enum Cause {
        none = 0,
        genericException,
        fileNotFound,
        badPath,
        tooManyOpenFiles,
        accessDenied,
        invalidFile,        // an operation on a CFile that is not open
        hardIO,
        diskFull,           // a write elsewhere in the program (the copy, an export)
    };

    CFileException(int cause = none, long osError = 0, std::string fileName = {});

    // Fills cause and OS error from an errno value.
    static int CauseFromErrno(int errnoValue);

    // The file and the reason in Chinese, for example
    // "无法读取文件 /tmp/a.db：找不到该文件。"
    std::string ErrorText() const override;
    // The reason alone, by cause (by OS error for a folder or another file that is not
    // a regular one), for example "找不到该文件。".
    std::string ReasonText() const;

    int m_cause;
    long m_lOsError;
    std::string m_strFileName;   // code page 936
};

class CFile
{
public:
    // The program only reads through CFile; any other mode fails to open (EINVAL).
    enum OpenFlags : UINT {
        modeRead = 0x0000,
    };

    CFile() = default;
    ~CFile();                      // closes without raising
    CFile(const CFile&) = delete;
    CFile& operator=(const CFile&) = delete;

    // Opens path (code page 936; converted to UTF-8 for the file system) for reading,
    // leaving its access time as it was where the kernel allows (O_NOATIME: the file's
    // owner, or root). Returns FALSE on failure and, when error is given, fills it. Only
    // a regular file opens: a directory fails with accessDenied and OS error EISDIR, a
    // FIFO, device or socket with accessDenied and ENXIO, at once (a FIFO without a
    // writer is not waited on).
    BOOL Open(const char* path, UINT openFlags, CFileException* error = nullptr);

    // Length in bytes. Raises CFileException when the file is not open: with the cause
    // and OS error of the failed Open that left it closed (so the error box says why),
    // else invalidFile.
    ULONGLONG GetLength() const;

    // Reads up to count bytes; returns the number read (less only at the end of the
    // file). Raises CFileException on a read error or when the file is not open.
    UINT Read(void* buffer, UINT count);

    // Closes; raises CFileException when closing fails. Closing a closed file does
    // nothing.
    void Close();


private:
    [[noreturn]] void throwNotOpen() const;

    int m_fd = -1;
    std::string m_path;
    int m_openErrno = 0;   // errno of the last failed Open, 0 after a successful one
};
