// CMarkup: an XML document held as one 8-bit text together with a record per element that indexes its start
// and end tags, plus a current position (parent, current element, current child). The device reports build
// their documents with it element by element; every edit moves the tail of the text once and adjusts the
// records after the edit, so the records always describe the text exactly.
#pragma once

#include <afx.h>
#include <afxtempl.h>

class CMarkup {
public:
    // Character indexes into the document text. Record 0 stands for the document: its FirstChild is the root.
    struct ElemPos {
        INT32 StartTagBegin; // '<' of the start tag
        INT32 StartTagEnd;   // '>' of the start tag
        INT32 EndTagBegin;   // '<' of the end tag; the '/' of "/>" for an empty element
        INT32 EndTagEnd;     // '>' of the end tag; StartTagEnd for an empty element
        INT32 Parent;
        INT32 FirstChild;
        INT32 NextSibling;
    };
    static_assert(sizeof(ElemPos) == 28);

    CMarkup();
    virtual ~CMarkup();
    CMarkup(const CMarkup&) = delete;
    CMarkup& operator=(const CMarkup&) = delete;

    // Replaces the document and parses it; true only when a root element was found. The text is kept either
    // way, so a declaration line alone survives as the prefix of what is added later.
    bool SetDocument(LPCSTR text);
    // Appends an element after the current element at the current level and makes it current. No value or
    // an empty one writes the empty-element form. False for a second root element or a name that is no tag.
    bool AddElement(LPCSTR name, LPCSTR value = nullptr);
    // The same for a name and a value whose lengths the caller knows (-1: not known; a null value is none);
    // each still ends at its first NUL.
    bool AddElement(LPCSTR name, int nameLength, LPCSTR value, int valueLength);
    bool EnterElement();
    bool LeaveElement();
    // Sets or replaces an attribute of element `i` (callers pass the current element).
    bool SetAttribute(int i, LPCSTR name, LPCSTR value);
    bool SetAttribute(int i, LPCSTR name, int nameLength, LPCSTR value, int valueLength);
    // Writes the text with '<', '&', '>' (in attribute mode also the apostrophe and the double quote) as
    // entities into `out` and returns it. C0 controls other than TAB, LF and CR become '?': neither XML 1.0
    // nor XHTML can carry them in any form.
    static CString& EscapeText(CString& out, LPCSTR text, bool attributeMode);
    CString GetDocument() const { return m_Doc; }

    const CString& GetLastError() const { return m_LastError; }
    int GetParentIndex() const { return m_ParentIndex; }
    int GetCurrentIndex() const { return m_CurrentIndex; }
    int GetChildIndex() const { return m_ChildIndex; }
    // Records in use, record 0 included.
    int GetPositionCount() const { return m_NextFreeIndex; }
    INT_PTR GetPositionCapacity() const { return m_Positions.GetSize(); }
    const ElemPos& GetPosition(int i) const { return m_Positions[i]; }

private:
    struct MarkupToken {
        int Left;   // first character of the token's text
        int Right;  // last character (Left - 1 for an empty quoted string)
        int Next;   // where scanning continues
        int Quoted; // 1 when the token was a quoted string; Left and Right exclude the quotes
    };
    struct InsertPoint {
        int Offset;
        int LinkAfter; // the record the new one follows, 0 when it becomes the parent's first child
    };

    // Unchecked: the records link only to records in use, and the edits walk them for every change.
    ElemPos& Pos(int i) { return m_Positions.GetData()[i]; }
    const ElemPos& Pos(int i) const { return m_Positions.GetData()[i]; }
    bool IsEmptyElement(int i) const { return Pos(i).StartTagEnd == Pos(i).EndTagBegin + 1; }
    // The character at index, NUL outside the text.
    char CharAt(int index) const { return index >= 0 && index < m_Doc.GetLength() ? m_Doc.GetString()[index] : '\0'; }
    void ResetPosition();

    bool HasRootElement() const { return m_Positions[0].FirstChild != 0; }
    int AllocatePosition();
    int ReleasePosition();
    int SetParseError(LPCSTR format, LPCSTR argument = nullptr);

    bool FindCharacter(int& index, char c) const;
    bool SkipWhitespace(int& index) const;
    bool NextToken(MarkupToken& token) const;
    CString GetTokenText(const MarkupToken& token) const;
    bool MatchToken(const MarkupToken& token, LPCSTR name) const;
    int SkipNode(MarkupToken& token) const;
    bool FindAttribute(int i, LPCSTR name, MarkupToken& value) const;
    // Whether element i's start tag holds a quote (or may: its bounds are not plain): without one it has no
    // attribute FindAttribute could find.
    bool HasQuote(int i) const;
    // Makes `length` characters at `left` (clamped to the text) take the place of `count` characters there and
    // returns where the caller writes them: the tail after the edit moves once.
    char* ReplaceText(int left, int count, int length);
    // FindAttribute over a start tag this document wrote (records from m_FirstWrittenIndex on), whose form is
    // known, so the attribute is found without scanning tokens. The name holds no '['.
    bool FindBuiltAttribute(int i, LPCSTR name, int nameLength, MarkupToken& value) const;
    // The lengths of a text before and after EscapeText; Plain when no character changes.
    struct EscapedSize {
        int Raw = 0;
        int Escaped = 0;
        bool Plain = true;
    };
    // The text ends at its first NUL or after `length` characters (-1: not known).
    static EscapedSize MeasureEscaped(LPCSTR text, int length, bool attributeMode);
    // The escaped text written at `out` (its size measured before), the end returned.
    static char* WriteEscaped(char* out, LPCSTR text, const EscapedSize& size, bool attributeMode);
    int ParseElement(int parent, int depth);
    void ShiftTree(int top, int delta);
    void ShiftPositions(int n, int delta);
    // Rebuilds m_Open from the parent's records.
    void FindOpenElements();
    InsertPoint LocateInsertPoint(int parent, int current) const;

    CString m_Doc;
    CString m_LastError;
    CArray<ElemPos> m_Positions;
    int m_ParentIndex;
    int m_CurrentIndex;
    int m_ChildIndex;
    int m_NextFreeIndex;
    int m_OnElement;
    // The first record an AddElement made; the records before it were parsed from a text set by SetDocument.
    int m_FirstWrittenIndex;
    // The element AddElement made last while it has no attribute yet (0 for none): its first attribute needs
    // no search.
    int m_BareIndex;
    // The open elements from the top down, the parent last: the ancestors of every element added at the
    // current position, whose end tags each edit there moves. m_OpenDepth is -1 when they are more than the
    // array holds; the edits then climb the records instead.
    static constexpr int kOpenCapacity = 32;
    int m_Open[kOpenCapacity];
    int m_OpenDepth;
};
