#include "platform/macos/appkit_functions.hpp"

namespace kelvo {

namespace {

// The functions this host has; the others arrive with the host areas that implement them.
AppKitFunctions makeTable() {
    AppKitFunctions table;
    table.run = kelvo_appkit_run;
    table.stop = kelvo_appkit_stop;
    table.set_bridge_callback = kelvo_appkit_set_bridge_callback;
    table.set_tray_callback = kelvo_appkit_set_tray_callback;
    table.request_frame = kelvo_appkit_request_frame;
    table.wake = kelvo_appkit_wake;
    table.start_timer = kelvo_appkit_start_timer;
    table.cancel_timer = kelvo_appkit_cancel_timer;
    table.create_window = kelvo_appkit_create_window;
    table.set_window_content_min_size = kelvo_appkit_set_window_content_min_size;
    table.focus_window = kelvo_appkit_focus_window;
    table.close_window = kelvo_appkit_close_window;
    table.minimize_window = kelvo_appkit_minimize_window;
    table.start_window_drag = kelvo_appkit_start_window_drag;
    table.window_chrome_insets = kelvo_appkit_window_chrome_insets;
    table.set_security_policy = kelvo_appkit_set_security_policy;
    table.audio_load = kelvo_appkit_audio_load;
    table.audio_load_url = kelvo_appkit_audio_load_url;
    table.audio_play = kelvo_appkit_audio_play;
    table.audio_pause = kelvo_appkit_audio_pause;
    table.audio_stop = kelvo_appkit_audio_stop;
    table.audio_seek = kelvo_appkit_audio_seek;
    table.audio_set_volume = kelvo_appkit_audio_set_volume;
    table.create_view = kelvo_appkit_create_view;
    table.update_view = kelvo_appkit_update_view;
    table.set_view_frame = kelvo_appkit_set_view_frame;
    table.set_view_visible = kelvo_appkit_set_view_visible;
    table.set_view_cursor = kelvo_appkit_set_view_cursor;
    table.focus_view = kelvo_appkit_focus_view;
    table.close_view = kelvo_appkit_close_view;
    table.adopt_view_surface = kelvo_appkit_adopt_view_surface;
    table.release_view_surface = kelvo_appkit_release_view_surface;
    table.clipboard_read = kelvo_appkit_clipboard_read;
    table.clipboard_write = kelvo_appkit_clipboard_write;
    table.clipboard_read_data = kelvo_appkit_clipboard_read_data;
    table.clipboard_write_data = kelvo_appkit_clipboard_write_data;
    table.show_open_dialog = kelvo_appkit_show_open_dialog;
    table.show_save_dialog = kelvo_appkit_show_save_dialog;
    table.show_message_dialog = kelvo_appkit_show_message_dialog;
    table.show_notification = kelvo_appkit_show_notification;
    table.set_credential = kelvo_appkit_set_credential;
    table.get_credential = kelvo_appkit_get_credential;
    table.delete_credential = kelvo_appkit_delete_credential;
    table.open_external_url = kelvo_appkit_open_external_url;
    table.reveal_path = kelvo_appkit_reveal_path;
    table.add_recent_document = kelvo_appkit_add_recent_document;
    table.clear_recent_documents = kelvo_appkit_clear_recent_documents;
    table.set_menus = kelvo_appkit_set_menus;
    table.set_shortcuts = kelvo_appkit_set_shortcuts;
    table.show_context_menu = kelvo_appkit_show_context_menu;
    table.create_tray = kelvo_appkit_create_tray;
    table.update_tray_menu = kelvo_appkit_update_tray_menu;
    table.update_tray_title = kelvo_appkit_update_tray_title;
    table.remove_tray = kelvo_appkit_remove_tray;
    table.load_window_webview = kelvo_appkit_load_window_webview;
    table.bridge_respond = kelvo_appkit_bridge_respond;
    table.bridge_respond_window = kelvo_appkit_bridge_respond_window;
    table.bridge_respond_webview = kelvo_appkit_bridge_respond_webview;
    table.emit_window_event = kelvo_appkit_emit_window_event;
    table.create_webview = kelvo_appkit_create_webview;
    table.set_webview_frame = kelvo_appkit_set_webview_frame;
    table.navigate_webview = kelvo_appkit_navigate_webview;
    table.set_webview_zoom = kelvo_appkit_set_webview_zoom;
    table.set_webview_layer = kelvo_appkit_set_webview_layer;
    table.close_webview = kelvo_appkit_close_webview;
    table.request_gpu_surface_frame = kelvo_appkit_request_gpu_surface_frame;
    table.note_gpu_surface_input = kelvo_appkit_note_gpu_surface_input;
    table.present_gpu_surface_pixels = kelvo_appkit_present_gpu_surface_pixels;
    table.present_gpu_surface_packet = kelvo_appkit_present_gpu_surface_packet;
    table.present_gpu_surface_packet_binary = kelvo_appkit_present_gpu_surface_packet_binary;
    table.upload_gpu_surface_image = kelvo_appkit_upload_gpu_surface_image;
    table.remove_gpu_surface_image = kelvo_appkit_remove_gpu_surface_image;
    table.register_font = kelvo_appkit_register_font;
    table.measure_text = kelvo_appkit_measure_text;
    table.measure_text_advances = kelvo_appkit_measure_text_advances;
    table.decode_image = kelvo_appkit_decode_image;
    table.set_gpu_surface_scroll_drivers = kelvo_appkit_set_gpu_surface_scroll_drivers;
    table.update_widget_accessibility = kelvo_appkit_update_widget_accessibility;
    return table;
}

}  // namespace

const AppKitFunctions& appkitFunctions() {
    static const AppKitFunctions table = makeTable();
    return table;
}

}  // namespace kelvo
