// Documents: the safe save (a failed save leaves the earlier file and the document as they were), loading
// through an archive that knows its document, and choosing a template for a path.
#include <sys/mman.h>

#include <fcntl.h>

#include "AppFixture.h"
#include "WinFileDialogControl.h"
#include "afxwin.h"

namespace {

using afx_test::AppFixture;

// A document of text; Serialize can be told to fail after writing part of it.
class CTextDoc : public CDocument {
    DECLARE_DYNCREATE(CTextDoc)
public:
    enum Failure { none, archiveError, userCancel };
    std::string m_text;
    Failure m_failure = none;
    const CDocument* m_pLoadingDocument = nullptr;
    int m_nDeleteContents = 0;

    void Serialize(CArchive& ar) override {
        if (ar.IsStoring()) {
            ar.Write(m_text.data(), static_cast<UINT>(m_text.size() / 2));
            ar.Flush(); // part of it reaches the file before the failure
            if (m_failure == archiveError)
                AfxThrowArchiveException(CArchiveException::genericException);
            if (m_failure == userCancel)
                AfxThrowUserException();
            ar.Write(m_text.data() + m_text.size() / 2, static_cast<UINT>(m_text.size() - m_text.size() / 2));
        } else {
            m_pLoadingDocument = ar.m_pDocument;
            char c = 0;
            while (ar.Read(&c, 1) == 1)
                m_text += c;
            if (m_text == "bad")
                AfxThrowArchiveException(CArchiveException::badSchema);
        }
    }
    void DeleteContents() override {
        ++m_nDeleteContents;
        m_text.clear();
    }
};
IMPLEMENT_DYNCREATE(CTextDoc, CDocument)

class DocumentTest : public AppFixture {
protected:
    void SetUp() override {
        AppFixture::SetUp();
        m_app.SetRegistryKey("Vellumcrest");
        m_app.LoadStdProfileSettings(4);
    }
    CWinApp m_app{"Tindaloft"};
};

TEST_F(DocumentTest, FailedSavesLeaveTheFileAndTheDocumentAsTheyWere) {
    struct Case {
        const char* what;
        CTextDoc::Failure failure;
        bool noTemporaryFilePossible;
        bool saved;
        size_t boxes;
    };
    const Case cases[] = {
        {"archive error midway", CTextDoc::archiveError, false, false, 1},
        {"user cancel midway", CTextDoc::userCancel, false, false, 0},
        {"no temporary file possible in the folder", CTextDoc::none, true, false, 1},
        {"full write", CTextDoc::none, false, true, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        // The folder of a path so long that no temporary name fits beside the target.
        std::filesystem::path folder = m_dir / "docs";
        if (c.noTemporaryFilePossible) {
            while (folder.string().size() < 252)
                folder /= std::string(std::min<size_t>(100, 252 - folder.string().size() - 1), 'f');
        }
        std::filesystem::create_directories(folder);
        const std::string target = Win(folder / "a.log");
        WriteFile(target, "earlier contents");
        const std::string other = PathOf("recent.log");
        m_app.AddToRecentFileList(other.c_str());

        CTextDoc doc;
        doc.m_bAutoDelete = FALSE;
        doc.SetPathName(target.c_str());
        m_app.AddToRecentFileList(other.c_str());
        doc.m_text = "the new contents of the document";
        doc.m_failure = c.failure;
        doc.SetModifiedFlag(TRUE);

        TakeBoxes();
        EXPECT_EQ(doc.DoFileSave(), c.saved ? TRUE : FALSE);
        std::vector<std::string> boxes = TakeBoxes();
        ASSERT_EQ(boxes.size(), c.boxes);
        if (c.boxes != 0)
            EXPECT_EQ(boxes[0].rfind("The document could not be saved.", 0), 0u) << boxes[0];
        EXPECT_EQ(ReadFile(target), c.saved ? doc.m_text : "earlier contents");
        EXPECT_EQ(FilesIn(folder), std::vector<std::string>{"a.log"}); // no temporary file left
        EXPECT_EQ(std::string(doc.GetPathName()), target);
        EXPECT_EQ(std::string(doc.GetTitle()), "a.log");
        EXPECT_EQ(doc.IsModified(), c.saved ? FALSE : TRUE);
        EXPECT_EQ(std::string((*m_app.m_pRecentFileList)[0]), c.saved ? target : other);
        std::filesystem::remove_all(m_dir / "docs");
    }
}

TEST_F(DocumentTest, SaveAsTakesTheNewPathAndListsIt) {
    CTextDoc doc;
    doc.m_bAutoDelete = FALSE;
    doc.m_text = "capture";
    doc.SetTitle("Capture Mode");
    doc.SetModifiedFlag(TRUE);
    const std::string path = PathOf("saved.tdloft");
    EXPECT_TRUE(doc.DoSave(path.c_str()));
    EXPECT_EQ(ReadFile(path), "capture");
    EXPECT_EQ(std::string(doc.GetPathName()), path);
    EXPECT_EQ(std::string(doc.GetTitle()), "saved.tdloft");
    EXPECT_FALSE(doc.IsModified());
    EXPECT_EQ(std::string((*m_app.m_pRecentFileList)[0]), path);
}

TEST_F(DocumentTest, SaveAsAsksWithAFileRequestAndACancelChangesNothing) {
    AfxRegisterString(131, "\nusblog\nTindaloft Log File\nTindaloft Log File (*.tdloft)\n.tdloft\n\n");
    m_app.AddDocTemplate(new CMultiDocTemplate(131, RUNTIME_CLASS(CTextDoc), nullptr, nullptr));
    const std::string earlier = PathOf("earlier.tdloft");
    m_app.AddToRecentFileList(earlier.c_str());
    win32::ClearFileDialogRequests();
    struct Case {
        bool cancel;
        const char* chosen; // without its extension: the template's default extension is added
    } cases[] = {{true, nullptr}, {false, "chosen"}};
    for (const Case& c : cases) {
        CTextDoc doc;
        doc.m_bAutoDelete = FALSE;
        doc.m_text = "capture";
        doc.SetTitle("Capture Mode");
        doc.SetModifiedFlag(TRUE);
        if (c.cancel)
            win32::QueueModalAnswer(win32::ModalKind::File, IDCANCEL);
        else
            win32::QueueFileDialogChoice(PathOf(c.chosen));
        EXPECT_EQ(doc.DoSave(nullptr), c.cancel ? FALSE : TRUE);

        std::vector<win32::FileDialogRequest> requests = win32::FileDialogRequests();
        ASSERT_EQ(requests.size(), 1u);
        EXPECT_TRUE(requests[0].save);
        EXPECT_EQ(requests[0].title, "Save As");
        EXPECT_EQ(requests[0].filter, "Tindaloft Log File (*.tdloft)|*.tdloft|All Files (*.*)|*.*");
        EXPECT_EQ(requests[0].defaultExtension, "tdloft");
        EXPECT_EQ(requests[0].initialName, "Capture Mode");
        EXPECT_NE(requests[0].flags & OFN_OVERWRITEPROMPT, 0u);
        win32::ClearFileDialogRequests();

        const std::string saved = PathOf("chosen.tdloft");
        if (c.cancel) {
            EXPECT_EQ(FilesIn(m_dir), std::vector<std::string>{});
            EXPECT_EQ(std::string(doc.GetPathName()), "");
            EXPECT_EQ(std::string(doc.GetTitle()), "Capture Mode");
            EXPECT_TRUE(doc.IsModified());
            EXPECT_EQ(std::string((*m_app.m_pRecentFileList)[0]), earlier);
        } else {
            EXPECT_EQ(ReadFile(saved), "capture");
            EXPECT_EQ(std::string(doc.GetPathName()), saved);
            EXPECT_FALSE(doc.IsModified());
            EXPECT_EQ(std::string((*m_app.m_pRecentFileList)[0]), saved);
            EXPECT_EQ(std::string((*m_app.m_pRecentFileList)[1]), earlier);
        }
    }
    EXPECT_EQ(TakeBoxes().size(), 0u);
}

TEST_F(DocumentTest, SavingOverAMappedFileKeepsTheMappingValid) {
    const std::string path = PathOf("mapped.log");
    WriteFile(path, "old bytes!");
    int fd = ::open(Host(path).c_str(), O_RDONLY);
    ASSERT_GE(fd, 0);
    void* view = ::mmap(nullptr, 10, PROT_READ, MAP_SHARED, fd, 0);
    ASSERT_NE(view, MAP_FAILED);
    CTextDoc doc;
    doc.m_bAutoDelete = FALSE;
    doc.m_text = "replacement";
    EXPECT_TRUE(doc.OnSaveDocument(path.c_str()));
    EXPECT_EQ(std::string(static_cast<const char*>(view), 10), "old bytes!");
    EXPECT_EQ(ReadFile(path), "replacement");
    ::munmap(view, 10);
    ::close(fd);
}

TEST_F(DocumentTest, LoadingKnowsItsDocumentAndAFailedLoadIsUndone) {
    const std::string good = PathOf("good.log");
    const std::string bad = PathOf("bad.log");
    WriteFile(good, "hello");
    WriteFile(bad, "bad");
    CTextDoc doc;
    doc.m_bAutoDelete = FALSE;
    EXPECT_TRUE(doc.OnOpenDocument(good.c_str()));
    EXPECT_EQ(doc.m_text, "hello");
    EXPECT_EQ(doc.m_pLoadingDocument, &doc);
    EXPECT_FALSE(doc.IsModified());

    int deletes = doc.m_nDeleteContents;
    EXPECT_FALSE(doc.OnOpenDocument(bad.c_str()));
    EXPECT_EQ(doc.m_text, "");
    EXPECT_EQ(doc.m_nDeleteContents, deletes + 2); // before reading, and to undo what was read
    EXPECT_FALSE(doc.OnOpenDocument(PathOf("missing.log").c_str()));
    std::vector<std::string> boxes = TakeBoxes();
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_NE(boxes[0].find("unsupported version"), std::string::npos) << boxes[0];
    EXPECT_NE(boxes[1].find("not found"), std::string::npos) << boxes[1];
}

TEST_F(DocumentTest, TemplatesByExtensionAndTheOpenFilter) {
    AfxRegisterString(131, "\nusblog\nTindaloft Log File\nTindaloft Log File (*.tdloft)\n.tdloft\nTindaloft.Document\n"
                           "Tindaloft Log File");
    AfxRegisterString(133,
                      "\nCapture Mode\nTrace\nTindaloft Log File\n.tdloft\nTindaloft.Document\nTindaloft Log File");
    AfxRegisterString(140, "\nText\nText\nText Files (*.txt)\n.txt;.log\n\n");
    auto* capture = new CMultiDocTemplate(133, RUNTIME_CLASS(CTextDoc), nullptr, nullptr);
    auto* logs = new CMultiDocTemplate(131, RUNTIME_CLASS(CTextDoc), nullptr, nullptr);
    auto* text = new CMultiDocTemplate(140, RUNTIME_CLASS(CTextDoc), nullptr, nullptr);
    m_app.AddDocTemplate(capture);
    m_app.AddDocTemplate(logs);
    m_app.AddDocTemplate(text);

    CString field;
    EXPECT_TRUE(capture->GetDocString(field, CDocTemplate::docName));
    EXPECT_EQ(field, "Capture Mode");
    EXPECT_FALSE(capture->GetDocString(field, CDocTemplate::windowTitle));
    EXPECT_FALSE(text->GetDocString(field, CDocTemplate::regFileTypeName));

    // The same extension in two templates: the first registered takes the file.
    for (const char* name : {"a.tdloft", "b.LOG", "c.bin"})
        WriteFile(PathOf(name), "data");
    CDocument* first = m_app.OpenDocumentFile(PathOf("a.tdloft").c_str());
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->GetDocTemplate(), capture);
    CDocument* second = m_app.OpenDocumentFile(PathOf("b.LOG").c_str());
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(second->GetDocTemplate(), text);
    CDocument* third = m_app.OpenDocumentFile(PathOf("c.bin").c_str());
    ASSERT_NE(third, nullptr);
    EXPECT_EQ(third->GetDocTemplate(), capture); // unknown extension: the first template tries it
    // An open document is found again rather than opened twice.
    EXPECT_EQ(m_app.OpenDocumentFile(PathOf("A.TDLOFT").c_str()), first);
    EXPECT_EQ(m_app.GetOpenDocumentCount(), 3);

    CString defaultExt;
    EXPECT_EQ(m_app.m_pDocManager->BuildFilter(nullptr, &defaultExt),
              "Tindaloft Log File|*.tdloft|Tindaloft Log File (*.tdloft)|*.tdloft|Text Files (*.txt)|*.txt;*.log|"
              "All Files (*.*)|*.*|");
    EXPECT_EQ(defaultExt, "tdloft");
    EXPECT_EQ(m_app.m_pDocManager->BuildFilter(text, &defaultExt),
              "Text Files (*.txt)|*.txt;*.log|All Files (*.*)|*.*|");
    EXPECT_EQ(defaultExt, "txt");

    // New documents are titled by the template's document name and a number.
    CDocument* fresh = capture->OpenDocumentFile(nullptr);
    ASSERT_NE(fresh, nullptr);
    EXPECT_EQ(fresh->GetTitle(), "Capture Mode1");
    m_app.CloseAllDocuments(FALSE);
    EXPECT_EQ(m_app.GetOpenDocumentCount(), 0);
}

} // namespace
