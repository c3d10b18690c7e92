// An answer that goes into the caller's buffer in one piece, with every
// pointer inside that buffer, as the IP helper's lists are: built apart at
// the offsets it will have there, its pointers made for the caller's buffer
// before it is copied. The caller's buffer may be null while the size is
// asked for; nothing is written to it until CopyTo.
#pragma once

#include <windows.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

class CLabFlatBuffer
{
public:
    explicit CLabFlatBuffer(void* target) noexcept : _target(reinterpret_cast<uintptr_t>(target)) {}

    // Zeroed room for size bytes, aligned as align; its offset. Throws std::bad_alloc.
    size_t Reserve(size_t size, size_t align = sizeof(void*))
    {
        const size_t offset = (_bytes.size() + align - 1) / align * align;
        _bytes.resize(offset + size);
        return offset;
    }
    // Where the bytes at offset will be in the caller's buffer.
    template <typename T> T* Address(size_t offset) const noexcept { return reinterpret_cast<T*>(_target + offset); }
    template <typename T> void Put(size_t offset, const T& value) noexcept
    {
        std::memcpy(_bytes.data() + offset, &value, sizeof(value));
    }
    // A pointer field at `at` that leads to the bytes at `to`.
    void Link(size_t at, size_t to) noexcept { Put(at, Address<void>(to)); }
    // A copy of the text with its NUL; where it will be.
    template <typename Char> Char* Text(const std::basic_string<Char>& text)
    {
        const size_t offset = Reserve((text.size() + 1) * sizeof(Char), sizeof(Char));
        std::memcpy(_bytes.data() + offset, text.c_str(), text.size() * sizeof(Char));
        return Address<Char>(offset);
    }

    size_t Size() const noexcept { return _bytes.size(); }
    void CopyTo(void* target) const noexcept { std::memcpy(target, _bytes.data(), _bytes.size()); }

private:
    uintptr_t _target;
    std::vector<BYTE> _bytes;
};
