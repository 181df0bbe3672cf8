// Requests that have no window of their own in the window system: files through GTK's file chooser, fonts
// through its font chooser, print setup as a message that no printer is installed. The dialog lives on the
// host's thread; the requesting thread keeps pumping its messages until the dialog answers. Locks: each
// request's own, around what both threads see of it.
#include <cmath>
#include <cstring>
#include <sstream>

#include "WinFileDialogControl.h"
#include "WinFontDialogControl.h"
#include "WinMessageBox.h"
#include "WinUser.h"
#include "platform/display/GtkHost.h"
#include "platform/display/HostKeys.h"

namespace display {

namespace {

// What the requesting thread and the host's thread share of one request.
struct Pending {
    std::mutex lock;
    win32::ModalLoop* loop = nullptr; // null once the request is over
    bool answered = false;
    INT_PTR answer = IDCANCEL;
    std::string path;            // the file chosen
    std::string fontName;        // the font chosen, as pango describes it
    GtkWidget* dialog = nullptr; // host thread only
};

// Host thread: the dialog gave its answer.
void Answer(Pending& pending, INT_PTR answer) {
    std::lock_guard guard(pending.lock);
    pending.answered = true;
    pending.answer = answer;
    if (pending.loop)
        pending.loop->End(answer);
}

// Requesting thread: runs the loop until the dialog answers; a loop ended otherwise (a WM_QUIT) closes the
// dialog. Returns the answer.
INT_PTR RunUntilAnswered(GtkHost& host, const std::shared_ptr<Pending>& pending, win32::ModalLoop& loop,
                         std::function<void()> show) {
    {
        std::lock_guard guard(pending->lock);
        pending->loop = &loop;
    }
    host.Post(std::move(show));
    INT_PTR answer = loop.Run();
    bool answered;
    {
        std::lock_guard guard(pending->lock);
        pending->loop = nullptr;
        answered = pending->answered;
    }
    if (!answered) {
        host.Post([pending] {
            if (pending->dialog)
                gtk_widget_destroy(pending->dialog);
            pending->dialog = nullptr;
        });
    }
    return answer;
}

GtkWindow* OwnerWindow(GtkHost& host, HWND owner) {
    HostWindow* window = owner ? host.Find(GetAncestor(owner, GA_ROOT)) : nullptr;
    return window ? GTK_WINDOW(window->window) : nullptr;
}

// The filter's pieces ("Captures (*.zlg)|*.zlg|All files (*.*)|*.*") as the chooser's filters; a pattern
// takes its upper-case spelling too, as names on the platform match whatever their case.
void AddFilters(GtkFileChooser* chooser, const std::string& joined) {
    std::vector<std::string> pieces;
    std::stringstream stream(joined);
    for (std::string piece; std::getline(stream, piece, '|');)
        pieces.push_back(piece);
    for (size_t i = 0; i + 1 < pieces.size(); i += 2) {
        GtkFileFilter* filter = gtk_file_filter_new();
        gtk_file_filter_set_name(filter, Utf8FromAnsi(pieces[i]).c_str());
        std::stringstream patterns(pieces[i + 1]);
        for (std::string pattern; std::getline(patterns, pattern, ';');) {
            if (pattern == "*.*")
                pattern = "*";
            gtk_file_filter_add_pattern(filter, Utf8FromAnsi(pattern).c_str());
            std::string upper = pattern;
            for (char& c : upper)
                c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
            if (upper != pattern)
                gtk_file_filter_add_pattern(filter, Utf8FromAnsi(upper).c_str());
        }
        gtk_file_chooser_add_filter(chooser, filter);
    }
}

void OnFileResponse(GtkDialog* dialog, gint response, gpointer data) {
    auto* pending = static_cast<std::shared_ptr<Pending>*>(data);
    std::string path;
    if (response == GTK_RESPONSE_ACCEPT) {
        if (gchar* name = gtk_file_chooser_get_filename(GTK_FILE_CHOOSER(dialog))) {
            path = AnsiFromUtf8(name);
            g_free(name);
        }
    }
    {
        std::lock_guard guard((*pending)->lock);
        (*pending)->path = path;
    }
    (*pending)->dialog = nullptr;
    gtk_widget_destroy(GTK_WIDGET(dialog));
    Answer(**pending, path.empty() ? IDCANCEL : IDOK);
}

void FreePending(gpointer data, GClosure*) {
    delete static_cast<std::shared_ptr<Pending>*>(data);
}

// Connects `handler` to the dialog's response with a reference to the request it answers.
void ConnectResponse(GtkWidget* dialog, const std::shared_ptr<Pending>& pending, GCallback handler) {
    g_signal_connect_data(dialog, "response", handler, new std::shared_ptr<Pending>(pending), FreePending,
                          static_cast<GConnectFlags>(0));
}

// The pango description of a font of the drawing context ("DejaVu Sans Bold Italic 12").
std::string PangoNameOf(const LOGFONTA& font) {
    std::string name = Utf8FromAnsi(std::string(font.lfFaceName, strnlen(font.lfFaceName, LF_FACESIZE)));
    if (name.empty())
        name = "Sans";
    if (font.lfWeight >= FW_BOLD)
        name += " Bold";
    if (font.lfItalic)
        name += " Italic";
    const long pixels = std::labs(static_cast<long>(font.lfHeight));
    const long points = pixels ? std::lround(pixels * 72.0 / 96.0) : 8;
    return name + " " + std::to_string(points);
}

LOGFONTA LogFontOf(const std::string& pangoName, const LOGFONTA& initial) {
    LOGFONTA font = initial;
    PangoFontDescription* description = pango_font_description_from_string(pangoName.c_str());
    const std::string family = AnsiFromUtf8(
        pango_font_description_get_family(description) ? pango_font_description_get_family(description) : "");
    std::memset(font.lfFaceName, 0, sizeof font.lfFaceName);
    std::strncpy(font.lfFaceName, family.c_str(), LF_FACESIZE - 1);
    const double points = pango_font_description_get_size(description) / static_cast<double>(PANGO_SCALE);
    if (points > 0)
        font.lfHeight = -static_cast<LONG>(std::lround(points * 96.0 / 72.0));
    font.lfWidth = 0;
    font.lfWeight = pango_font_description_get_weight(description) >= PANGO_WEIGHT_BOLD ? FW_BOLD : FW_NORMAL;
    font.lfItalic = pango_font_description_get_style(description) != PANGO_STYLE_NORMAL;
    pango_font_description_free(description);
    return font;
}

void OnFontResponse(GtkDialog* dialog, gint response, gpointer data) {
    auto* pending = static_cast<std::shared_ptr<Pending>*>(data);
    std::string name;
    if (response == GTK_RESPONSE_OK) {
        if (gchar* chosen = gtk_font_chooser_get_font(GTK_FONT_CHOOSER(dialog))) {
            name = chosen;
            g_free(chosen);
        }
    }
    {
        std::lock_guard guard((*pending)->lock);
        (*pending)->fontName = name;
    }
    (*pending)->dialog = nullptr;
    gtk_widget_destroy(GTK_WIDGET(dialog));
    Answer(**pending, name.empty() ? IDCANCEL : IDOK);
}

void OnMessageResponse(GtkDialog* dialog, gint, gpointer data) {
    auto* pending = static_cast<std::shared_ptr<Pending>*>(data);
    (*pending)->dialog = nullptr;
    gtk_widget_destroy(GTK_WIDGET(dialog));
    Answer(**pending, IDCANCEL);
}

} // namespace

INT_PTR RunFileRequest(GtkHost& host, const win32::ModalRequest& request, win32::ModalLoop& loop) {
    const win32::FileDialogRequest* details = win32::CurrentFileDialogRequest();
    if (!details)
        return IDCANCEL;
    const win32::FileDialogRequest asked = *details;
    auto pending = std::make_shared<Pending>();
    const INT_PTR answer = RunUntilAnswered(host, pending, loop, [&host, pending, asked] {
        const GtkFileChooserAction action = asked.save ? GTK_FILE_CHOOSER_ACTION_SAVE : GTK_FILE_CHOOSER_ACTION_OPEN;
        GtkWidget* dialog = gtk_file_chooser_dialog_new(
            Utf8FromAnsi(asked.title).c_str(), OwnerWindow(host, asked.owner), action, "_Cancel", GTK_RESPONSE_CANCEL,
            asked.save ? "_Save" : "_Open", GTK_RESPONSE_ACCEPT, nullptr);
        auto* chooser = GTK_FILE_CHOOSER(dialog);
        // The stand-in adds the default extension and asks before a file is replaced.
        gtk_file_chooser_set_do_overwrite_confirmation(chooser, FALSE);
        AddFilters(chooser, asked.filter);
        const std::string initial = Utf8FromAnsi(asked.initialName);
        const size_t slash = initial.find_last_of("/\\");
        if (slash != std::string::npos) {
            std::string folder = initial.substr(0, slash);
            for (char& c : folder)
                if (c == '\\')
                    c = '/';
            gtk_file_chooser_set_current_folder(chooser, folder.empty() ? "/" : folder.c_str());
        } else if (gchar* here = g_get_current_dir()) {
            gtk_file_chooser_set_current_folder(chooser, here);
            g_free(here);
        }
        const std::string name = slash == std::string::npos ? initial : initial.substr(slash + 1);
        if (asked.save && !name.empty())
            gtk_file_chooser_set_current_name(chooser, name.c_str());
        gtk_window_set_modal(GTK_WINDOW(dialog), TRUE);
        pending->dialog = dialog;
        ConnectResponse(dialog, pending, G_CALLBACK(OnFileResponse));
        gtk_widget_show_all(dialog);
    });
    std::string path;
    {
        std::lock_guard guard(pending->lock);
        path = pending->path;
    }
    if (answer == IDOK && !path.empty())
        win32::ChooseFileName(path);
    return answer;
}

INT_PTR RunFontRequest(GtkHost& host, const win32::ModalRequest& request, win32::ModalLoop& loop) {
    const win32::FontDialogRequest* details = win32::CurrentFontDialogRequest();
    if (!details)
        return IDCANCEL;
    const win32::FontDialogRequest asked = *details;
    auto pending = std::make_shared<Pending>();
    const INT_PTR answer = RunUntilAnswered(host, pending, loop, [&host, pending, asked] {
        GtkWidget* dialog = gtk_font_chooser_dialog_new("Font", OwnerWindow(host, asked.owner));
        gtk_font_chooser_set_font(GTK_FONT_CHOOSER(dialog), PangoNameOf(asked.initial).c_str());
        gtk_window_set_modal(GTK_WINDOW(dialog), TRUE);
        pending->dialog = dialog;
        ConnectResponse(dialog, pending, G_CALLBACK(OnFontResponse));
        gtk_widget_show_all(dialog);
    });
    std::string name;
    {
        std::lock_guard guard(pending->lock);
        name = pending->fontName;
    }
    if (answer == IDOK && !name.empty())
        win32::ChooseFontChoice(LogFontOf(name, asked.initial), asked.initialColour);
    return answer;
}

INT_PTR RunPrintSetupRequest(GtkHost& host, const win32::ModalRequest& request, win32::ModalLoop& loop) {
    auto pending = std::make_shared<Pending>();
    const HWND owner = request.owner;
    RunUntilAnswered(host, pending, loop, [&host, pending, owner] {
        GtkWidget* dialog = gtk_message_dialog_new(OwnerWindow(host, owner), GTK_DIALOG_MODAL, GTK_MESSAGE_INFO,
                                                   GTK_BUTTONS_OK, "No printer is installed.");
        gtk_window_set_title(GTK_WINDOW(dialog), "Print Setup");
        pending->dialog = dialog;
        ConnectResponse(dialog, pending, G_CALLBACK(OnMessageResponse));
        gtk_widget_show_all(dialog);
    });
    return IDCANCEL;
}

} // namespace display
