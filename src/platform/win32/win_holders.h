// Owners of Win32 resources that release them when they go out of scope: a process-heap block, a kernel handle, a
// WinHTTP handle, a GDI object. Win32 side only; for clean-up that every path out of a function must do.
#pragma once

#include <windows.h>
#include <winhttp.h>

#include <cstddef>

// Zeroed room for `count` T from the process heap; empty (false) when there is no memory left.
template <typename T> class HeapBlock {
public:
    explicit HeapBlock(size_t count)
        : block_(static_cast<T*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, (count > 0 ? count : 1) * sizeof(T)))) {}
    ~HeapBlock() {
        if (block_) {
            HeapFree(GetProcessHeap(), 0, block_);
        }
    }
    HeapBlock(const HeapBlock&) = delete;
    HeapBlock& operator=(const HeapBlock&) = delete;

    T* get() const { return block_; }
    explicit operator bool() const { return block_ != nullptr; }
    // Hands the block over to the caller, who frees it with HeapFree.
    T* release() {
        T* block = block_;
        block_ = nullptr;
        return block;
    }

private:
    T* block_;
};

template <typename Handle, BOOL(WINAPI* Close)(Handle)> class ClosingHandle {
public:
    explicit ClosingHandle(Handle handle = nullptr) : handle_(handle) {}
    ~ClosingHandle() {
        if (handle_) {
            Close(handle_);
        }
    }
    ClosingHandle(const ClosingHandle&) = delete;
    ClosingHandle& operator=(const ClosingHandle&) = delete;
    ClosingHandle(ClosingHandle&& other) noexcept : handle_(other.handle_) { other.handle_ = nullptr; }

    Handle get() const { return handle_; }
    explicit operator bool() const { return handle_ != nullptr; }

private:
    Handle handle_;
};

using WinHttpHandle = ClosingHandle<HINTERNET, WinHttpCloseHandle>;
using KernelHandle = ClosingHandle<HANDLE, CloseHandle>;
using GdiHandle = ClosingHandle<HGDIOBJ, DeleteObject>;
