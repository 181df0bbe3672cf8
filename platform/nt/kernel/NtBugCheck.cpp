#include "NtBugCheck.h"

#include <cstdio>

namespace {

std::string Describe(ULONG code, const ULONG_PTR (&p)[4], const std::string& text) {
    char head[160];
    std::snprintf(head, sizeof head, "bug check 0x%08X (0x%llX, 0x%llX, 0x%llX, 0x%llX)", code,
                  static_cast<unsigned long long>(p[0]), static_cast<unsigned long long>(p[1]),
                  static_cast<unsigned long long>(p[2]), static_cast<unsigned long long>(p[3]));
    return text.empty() ? std::string(head) : std::string(head) + ": " + text;
}

} // namespace

NtBugCheck::NtBugCheck(ULONG code, ULONG_PTR p1, ULONG_PTR p2, ULONG_PTR p3, ULONG_PTR p4, std::string text)
    : m_code(code), m_parameters{p1, p2, p3, p4}, m_text(std::move(text)) {
    m_what = Describe(m_code, m_parameters, m_text);
}

void KeBugCheckEx(ULONG BugCheckCode, ULONG_PTR BugCheckParameter1, ULONG_PTR BugCheckParameter2,
                  ULONG_PTR BugCheckParameter3, ULONG_PTR BugCheckParameter4) {
    throw NtBugCheck(BugCheckCode, BugCheckParameter1, BugCheckParameter2, BugCheckParameter3, BugCheckParameter4, {});
}

void KeBugCheck(ULONG BugCheckCode) {
    KeBugCheckEx(BugCheckCode, 0, 0, 0, 0);
}

namespace nt {

void BugCheck(ULONG code, const std::string& text, ULONG_PTR p1, ULONG_PTR p2, ULONG_PTR p3, ULONG_PTR p4) {
    throw NtBugCheck(code, p1, p2, p3, p4, text);
}

} // namespace nt
