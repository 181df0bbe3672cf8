#include "NtSeh.h"

#include <cstdio>
#include <cstring>

#include "NtPoolControl.h"

namespace {

std::string Describe(const EXCEPTION_RECORD& record) {
    char text[64];
    std::snprintf(text, sizeof text, "structured exception 0x%08X", static_cast<unsigned>(record.ExceptionCode));
    return text;
}

} // namespace

namespace nt {

SehException::SehException(NTSTATUS code, ULONG flags, ULONG numberParameters, const ULONG_PTR* parameters,
                           PVOID address)
    : m_record{} {
    m_record.ExceptionCode = code;
    m_record.ExceptionFlags = flags;
    m_record.ExceptionAddress = address;
    m_record.NumberParameters =
        numberParameters < EXCEPTION_MAXIMUM_PARAMETERS ? numberParameters : EXCEPTION_MAXIMUM_PARAMETERS;
    if (parameters != nullptr) {
        std::memcpy(m_record.ExceptionInformation, parameters, m_record.NumberParameters * sizeof(ULONG_PTR));
    }
    m_what = Describe(m_record);
}

SehException::SehException(const EXCEPTION_RECORD& record) : m_record(record) {
    m_record.ExceptionRecord = nullptr;
    m_what = Describe(m_record);
}

} // namespace nt

void ExRaiseStatus(NTSTATUS Status) {
    throw nt::SehException(Status);
}

void ExRaiseAccessViolation() {
    ExRaiseStatus(STATUS_ACCESS_VIOLATION);
}

void ExRaiseDatatypeMisalignment() {
    ExRaiseStatus(STATUS_DATATYPE_MISALIGNMENT);
}

namespace {

void Probe(const volatile void* address, SIZE_T length, ULONG alignment, bool write) {
    if (length == 0) {
        return;
    }
    auto start = reinterpret_cast<ULONG_PTR>(address);
    if (alignment != 1 && alignment != 2 && alignment != 4 && alignment != 8 && alignment != 16) {
        ExRaiseDatatypeMisalignment();
    }
    if ((start & (alignment - 1)) != 0) {
        ExRaiseDatatypeMisalignment();
    }
    if (start + length < start || !nt::pool::IsRangeValid(const_cast<const void*>(address), length)) {
        ULONG_PTR info[2] = {write ? 1u : 0u, start};
        throw nt::SehException(STATUS_ACCESS_VIOLATION, 0, 2, info);
    }
}

} // namespace

void ProbeForRead(const volatile void* Address, SIZE_T Length, ULONG Alignment) {
    Probe(Address, Length, Alignment, false);
}

void ProbeForWrite(volatile void* Address, SIZE_T Length, ULONG Alignment) {
    Probe(Address, Length, Alignment, true);
}
