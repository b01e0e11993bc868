// The GTK 3 backend's modal dialogs: a dialog resource laid out in a fixed container (dialog units
// scaled for the desktop font), Enter pressing the default button, Escape and the close box sending
// IDCANCEL; message boxes as GTK message dialogs; and the open-file dialog with case-insensitive filters.
#include "win32/gtk_backend.h"

namespace platform {

namespace {

// Dialog units for the desktop's larger font: a base character cell of 7 x 15 pixels.
int ScaleX(int units) {
    return (units * 7 + 2) / 4;
}
int ScaleY(int units) {
    return (units * 15 + 4) / 8;
}

struct ControlLink {
    HWND dialog = nullptr;
    HWND control = nullptr;
    int id = 0;
};

void SendCommand(HWND dialog, int id, HWND control) {
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(control));
}

void OnButtonClicked(GtkButton*, gpointer data) {
    auto* link = static_cast<ControlLink*>(data);
    SendCommand(link->dialog, link->id, link->control);
}

void OnEntryChanged(GtkEditable* editable, gpointer data) {
    auto* link = static_cast<ControlLink*>(data);
    if (WindowRecord* record = FindWindowRecord(link->control)) {
        record->title = FromDisplayText(gtk_entry_get_text(GTK_ENTRY(editable)));
    }
}

// Enter in an edit box of a dialog without a default button still answers IDOK.
void OnEntryActivate(GtkEntry*, gpointer data) {
    auto* link = static_cast<ControlLink*>(data);
    SendCommand(link->dialog, IDOK, nullptr);
}

gboolean OnDialogKey(GtkWidget*, GdkEventKey* event, gpointer data) {
    if (event->keyval == GDK_KEY_Escape) {
        SendCommand(static_cast<HWND>(data), IDCANCEL, nullptr);
        return TRUE;
    }
    return FALSE;
}

gboolean OnDialogDelete(GtkWidget*, GdkEvent*, gpointer data) {
    // The close box cancels; the dialog stays when its procedure does not end it.
    SendCommand(static_cast<HWND>(data), IDCANCEL, nullptr);
    return TRUE;
}

gboolean MatchFilter(const GtkFileFilterInfo* info, gpointer data) {
    const auto* patterns = static_cast<const std::vector<std::string>*>(data);
    return info->display_name && MatchesFileFilter(info->display_name, *patterns) ? TRUE : FALSE;
}

} // namespace

void GtkBackend::RunModalDialog(WindowRecord& dialog) {
    HWND handle = dialog.handle;
    const DialogResource* resource = dialog.dialogTemplate;
    GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gtk_window_set_title(GTK_WINDOW(window), ToDisplayText(dialog.title).c_str());
    gtk_window_set_modal(GTK_WINDOW(window), TRUE);
    gtk_window_set_resizable(GTK_WINDOW(window), FALSE);
    gtk_window_set_type_hint(GTK_WINDOW(window), GDK_WINDOW_TYPE_HINT_DIALOG);
    if (GtkWindowParts* owner = Parts(dialog.owner)) {
        gtk_window_set_transient_for(GTK_WINDOW(window), GTK_WINDOW(owner->window));
    }
    gtk_window_set_position(GTK_WINDOW(window), GTK_WIN_POS_CENTER_ON_PARENT);

    GtkWidget* fixed = gtk_fixed_new();
    gtk_widget_set_size_request(fixed, ScaleX(resource->width), ScaleY(resource->height));
    gtk_container_add(GTK_CONTAINER(window), fixed);

    std::vector<std::unique_ptr<ControlLink>> links;
    GtkWidget* focus = nullptr;
    GtkWidget* defaultButton = nullptr;
    controlWidgets.clear();
    for (HWND controlHandle : dialog.controls) {
        WindowRecord* control = FindWindowRecord(controlHandle);
        if (!control || !control->controlTemplate) {
            continue;
        }
        const DialogControlResource& layout = *control->controlTemplate;
        auto link = std::make_unique<ControlLink>();
        link->dialog = handle;
        link->control = controlHandle;
        link->id = control->controlId;
        GtkWidget* widget = nullptr;
        switch (control->controlKind) {
        case DialogControlKind::Text:
            if (layout.style & SS_NOPREFIX) {
                widget = gtk_label_new(ToDisplayText(control->title).c_str());
            } else {
                widget = gtk_label_new_with_mnemonic(ToDisplayText(ToGtkMnemonic(control->title)).c_str());
            }
            gtk_label_set_xalign(GTK_LABEL(widget), 0.0f);
            gtk_label_set_yalign(GTK_LABEL(widget), 0.0f);
            break;
        case DialogControlKind::Icon: {
            const IconResource* icon = FindIconResource(layout.iconId);
            GdkPixbuf* pixbuf = icon ? PixbufFromIcon(*icon) : nullptr;
            widget = pixbuf ? gtk_image_new_from_pixbuf(pixbuf) : gtk_image_new();
            if (pixbuf) {
                g_object_unref(pixbuf);
            }
            break;
        }
        case DialogControlKind::Edit:
            widget = gtk_entry_new();
            gtk_entry_set_text(GTK_ENTRY(widget), ToDisplayText(control->title).c_str());
            gtk_entry_set_has_frame(GTK_ENTRY(widget), (layout.style & WS_BORDER) != 0);
            g_signal_connect(widget, "changed", G_CALLBACK(OnEntryChanged), link.get());
            if (!focus) {
                focus = widget;
            }
            break;
        case DialogControlKind::Button:
        case DialogControlKind::DefaultButton:
            widget = gtk_button_new_with_mnemonic(ToDisplayText(ToGtkMnemonic(control->title)).c_str());
            g_signal_connect(widget, "clicked", G_CALLBACK(OnButtonClicked), link.get());
            if (control->controlKind == DialogControlKind::DefaultButton) {
                defaultButton = widget;
            }
            break;
        }
        gtk_widget_set_size_request(widget, ScaleX(layout.width), ScaleY(layout.height));
        gtk_fixed_put(GTK_FIXED(fixed), widget, ScaleX(layout.x), ScaleY(layout.y));
        controlWidgets[controlHandle] = widget;
        links.push_back(std::move(link));
    }
    for (auto& [controlHandle, widget] : controlWidgets) {
        if (GTK_IS_ENTRY(widget)) {
            if (defaultButton) {
                gtk_entry_set_activates_default(GTK_ENTRY(widget), TRUE);
            } else {
                auto link = std::make_unique<ControlLink>();
                link->dialog = handle;
                g_signal_connect(widget, "activate", G_CALLBACK(OnEntryActivate), link.get());
                links.push_back(std::move(link));
            }
        }
    }
    if (defaultButton) {
        gtk_widget_set_can_default(defaultButton, TRUE);
        gtk_window_set_default(GTK_WINDOW(window), defaultButton);
        if (!focus) {
            focus = defaultButton;
        }
    }
    g_signal_connect(window, "key-press-event", G_CALLBACK(OnDialogKey), handle);
    g_signal_connect(window, "delete-event", G_CALLBACK(OnDialogDelete), handle);

    // Cleared by GTK when the native dialog goes away on its own (its X window destroyed by another
    // client): the modal loop must not wait for a dialog nobody can see.
    g_object_add_weak_pointer(G_OBJECT(window), reinterpret_cast<gpointer*>(&window));
    gtk_widget_show_all(window);
    if (focus) {
        gtk_widget_grab_focus(focus);
    }
    for (;;) {
        WindowRecord* record = FindWindowRecord(handle);
        if (!record || record->dialogEnded || QuitRequested()) {
            break;
        }
        if (!window) {
            controlWidgets.clear();
            EndDialog(handle, -1);
            break;
        }
        g_main_context_iteration(nullptr, TRUE);
        if (window) {
            DispatchQueuedMessages();
        }
    }
    controlWidgets.clear();
    if (window) {
        g_object_remove_weak_pointer(G_OBJECT(window), reinterpret_cast<gpointer*>(&window));
        gtk_widget_destroy(window);
    }
}

int GtkBackend::RunMessageBox(const MessageBoxRequest& request) {
    GtkWindow* parent = nullptr;
    if (GtkWindowParts* owner = Parts(request.owner)) {
        parent = GTK_WINDOW(owner->window);
    }
    static const GtkMessageType TYPES[] = {GTK_MESSAGE_OTHER, GTK_MESSAGE_ERROR, GTK_MESSAGE_QUESTION,
                                           GTK_MESSAGE_WARNING, GTK_MESSAGE_INFO};
    GtkWidget* box = gtk_message_dialog_new(parent, GTK_DIALOG_MODAL, TYPES[static_cast<int>(request.icon)],
                                            GTK_BUTTONS_OK, "%s", request.text.c_str());
    gtk_window_set_title(GTK_WINDOW(box), request.caption.c_str());
    // Without an owner (before the program's window exists) the box shows in the middle of the screen.
    gtk_window_set_position(GTK_WINDOW(box), parent ? GTK_WIN_POS_CENTER_ON_PARENT : GTK_WIN_POS_CENTER);
    // Our own reference, as for the open-file dialog: the box may be destroyed while it runs. Every way
    // of closing it (OK, Enter, Escape, the close box) counts as OK, its only button.
    g_object_ref(box);
    gtk_dialog_run(GTK_DIALOG(box));
    gtk_widget_destroy(box);
    g_object_unref(box);
    return IDOK;
}

std::optional<std::string> GtkBackend::RunOpenFileDialog(const OpenFileRequest& request) {
    GtkWindow* parent = nullptr;
    if (GtkWindowParts* owner = Parts(request.owner)) {
        parent = GTK_WINDOW(owner->window);
    }
    GtkWidget* chooser = gtk_file_chooser_dialog_new(
        ToDisplayText(request.title).c_str(), parent, GTK_FILE_CHOOSER_ACTION_OPEN, "_Cancel",
        GTK_RESPONSE_CANCEL, "_Open", GTK_RESPONSE_ACCEPT, nullptr);
    // GTK's own patterns match case-sensitively; Windows filters do not ("*.JPG" shows "photo.jpg").
    std::vector<FileFilter> filters = request.filters;
    if (filters.empty()) {
        filters.push_back(request.chosenFilter);
    }
    GtkFileFilter* chosen = nullptr;
    for (const auto& filter : filters) {
        GtkFileFilter* gtkFilter = gtk_file_filter_new();
        gtk_file_filter_set_name(gtkFilter, ToDisplayText(filter.description).c_str());
        gtk_file_filter_add_custom(gtkFilter, GTK_FILE_FILTER_DISPLAY_NAME, MatchFilter,
                                   new std::vector<std::string>(filter.patterns), [](gpointer data) {
                                       delete static_cast<std::vector<std::string>*>(data);
                                   });
        gtk_file_chooser_add_filter(GTK_FILE_CHOOSER(chooser), gtkFilter);
        if (!chosen && filter.description == request.chosenFilter.description &&
            filter.patterns == request.chosenFilter.patterns) {
            chosen = gtkFilter;
        }
    }
    if (chosen) {
        gtk_file_chooser_set_filter(GTK_FILE_CHOOSER(chooser), chosen);
    }
    if (!request.initialDirectory.empty()) {
        gtk_file_chooser_set_current_folder(GTK_FILE_CHOOSER(chooser), request.initialDirectory.c_str());
    } else if (gchar* current = g_get_current_dir()) {
        gtk_file_chooser_set_current_folder(GTK_FILE_CHOOSER(chooser), current);
        g_free(current);
    }
    std::optional<std::string> result;
    // Our own reference: the chooser may be destroyed while it runs (its X window killed), and must
    // stay valid until it is let go below.
    g_object_ref(chooser);
    if (gtk_dialog_run(GTK_DIALOG(chooser)) == GTK_RESPONSE_ACCEPT) {
        if (gchar* name = gtk_file_chooser_get_filename(GTK_FILE_CHOOSER(chooser))) {
            result = name;
            g_free(name);
        }
    }
    gtk_widget_destroy(chooser);
    g_object_unref(chooser);
    return result;
}

} // namespace platform
