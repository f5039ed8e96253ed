// GTK audio: GStreamer's playbin, one per player, with the tap and the volume inside its audio
// sink: audioconvert ! capsfilter F32LE interleaved ! identity (the tap's probe) ! volume ! the
// output. The tap so hears what goes out as it goes out, before the volume: the spectrum does not
// depend on the volume the page set (playbin's own volume is left at 1). Bus messages come to the
// main loop and reach the host through the main queue. Cache downloads go through libsoup.
//
// Found while checking GStreamer 1.22: a tap in playbin's audio filter also sees the samples before
// the volume, but a queue lies between the filter and the sink, so it runs up to a second ahead of
// what is heard; inside the sink it runs one buffer ahead.
//
// Found while checking GStreamer 1.22: the tap runs about one buffer (40-60 ms) ahead of the
// position; a flushing seek answers asynchronously, and until its own ASYNC_DONE (matched by
// seqnum; an earlier one may still be on the bus) the position reads stale or fails, so the seek
// target stands in for it; the first buffer passes the tap during preroll, before the host
// attaches it. A text file fails in the decoder after ~90 ms, so decodability is probed
// synchronously with the discoverer.

#include <gst/audio/audio.h>
#include <gst/pbutils/pbutils.h>
#include <libsoup/soup.h>

#include <algorithm>
#include <cmath>

#include "platform/standin/gtk/gtk_state.hpp"

namespace kelvo::standin {

namespace {

constexpr GstClockTime kProbeTimeout = 5 * GST_SECOND;
// playbin's flags: audio (0x2) only; no video or subtitles are decoded, and the volume is the audio
// sink's own element.
constexpr guint kPlayAudioOnly = 0x2;
constexpr const char* kFakeOutput = "fakesink sync=true";
constexpr const char* kDesktopOutput = "audioconvert ! audioresample ! autoaudiosink";

GtkPlayerRecord& recordOf(PlayerRef ref) { return *reinterpret_cast<GtkPlayerRecord*>(ref); }
PlayerRef refOf(GtkPlayerRecord& record) { return reinterpret_cast<PlayerRef>(&record); }

bool ensureGstreamer(GtkState& state) {
    if (state.gstreamerReady) return true;
    GError* error = nullptr;
    state.gstreamerReady = gst_init_check(nullptr, nullptr, &error) != FALSE;
    GErrorPtr failed(error);
    return state.gstreamerReady;
}

GCharPtr uriOf(std::string_view location, bool stream) {
    std::string text(location);
    if (stream) return GCharPtr(g_strdup(text.c_str()));
    return GCharPtr(gst_filename_to_uri(text.c_str(), nullptr));
}

void deliverLater(GtkPlayerRecord& record, PlayerEvent event) {
    GtkState* state = record.state;
    std::uint64_t number = record.number;
    state->post([state, number, event] {
        auto entry = state->players.find(number);
        if (entry == state->players.end()) return;
        GtkPlayerRecord& target = *entry->second;
        if (target.events.deliver != nullptr) target.events.deliver(target.events.context, refOf(target), event);
    });
}

void deliverTracks(GtkPlayerRecord& record) {
    gint audioTracks = 0;
    g_object_get(record.pipeline.get(), "n-audio", &audioTracks, nullptr);
    PlayerEvent event{PlayerEventKind::tracks_loaded};
    event.tracksLoaded = true;
    event.audioTracks = static_cast<std::uint32_t>(std::max(audioTracks, 0));
    deliverLater(record, event);
}

void startSeek(GtkPlayerRecord& record, std::uint64_t positionMs) {
    const auto target = static_cast<gint64>(positionMs * GST_MSECOND);
    GstEvent* seek = gst_event_new_seek(1.0, GST_FORMAT_TIME,
                                        static_cast<GstSeekFlags>(GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_ACCURATE),
                                        GST_SEEK_TYPE_SET, target, GST_SEEK_TYPE_NONE, 0);
    record.seekSeqnum = gst_event_get_seqnum(seek);
    record.seekTargetNs = target;
    gst_element_send_event(record.pipeline.get(), seek);  // takes the event
}

// A stream's player waits while it is asked to play and short of data; it says so whenever that
// may have changed (the host tells changes from repeats).
void reportWaiting(GtkPlayerRecord& record) {
    if (!record.stream) return;
    PlayerEvent event{PlayerEventKind::waiting_changed};
    event.waiting = record.playing && !record.ended && record.shortOfData;
    deliverLater(record, event);
}

// A stream that runs short of data pauses until it has enough again.
void noteBuffering(GtkPlayerRecord& record, gint percent) {
    const bool short_ = percent < 100;
    if (short_ == record.shortOfData) return;
    record.shortOfData = short_;
    if (record.playing && !record.ended) {
        gst_element_set_state(record.pipeline.get(), short_ ? GST_STATE_PAUSED : GST_STATE_PLAYING);
    }
    reportWaiting(record);
}

gboolean onBusMessage(GstBus*, GstMessage* message, gpointer data) {
    auto& record = *static_cast<GtkPlayerRecord*>(data);
    switch (GST_MESSAGE_TYPE(message)) {
        case GST_MESSAGE_ASYNC_DONE:
            if (record.seekTargetNs && gst_message_get_seqnum(message) == record.seekSeqnum)
                record.seekTargetNs.reset();
            if (!record.prerolled) {
                record.prerolled = true;
                deliverLater(record, PlayerEvent{PlayerEventKind::ready});
                if (record.tracksAsked) deliverTracks(record);
                if (record.seekBeforePrerollMs) startSeek(record, *record.seekBeforePrerollMs);
                record.seekBeforePrerollMs.reset();
            }
            break;
        case GST_MESSAGE_ERROR:
            if (!record.failed) {
                record.failed = true;
                deliverLater(record, PlayerEvent{PlayerEventKind::failed});
            }
            break;
        case GST_MESSAGE_EOS:
            if (!record.ended) {
                record.ended = true;
                deliverLater(record, PlayerEvent{PlayerEventKind::ended});
            }
            break;
        case GST_MESSAGE_BUFFERING:
            if (record.stream) {
                gint percent = 100;
                gst_message_parse_buffering(message, &percent);
                noteBuffering(record, percent);
            }
            break;
        default:
            break;
    }
    return G_SOURCE_CONTINUE;
}

// On the streaming thread: the format as it is negotiated, and every buffer going out.
GstPadProbeReturn onTapProbe(GstPad*, GstPadProbeInfo* info, gpointer data) {
    auto& record = *static_cast<GtkPlayerRecord*>(data);
    if ((GST_PAD_PROBE_INFO_TYPE(info) & GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM) != 0) {
        GstEvent* event = GST_PAD_PROBE_INFO_EVENT(info);
        if (GST_EVENT_TYPE(event) != GST_EVENT_CAPS) return GST_PAD_PROBE_OK;
        GstCaps* caps = nullptr;
        gst_event_parse_caps(event, &caps);
        GstAudioInfo format;
        if (!gst_audio_info_from_caps(&format, caps)) return GST_PAD_PROBE_OK;
        record.sampleRate.store(GST_AUDIO_INFO_RATE(&format));
        record.channels.store(GST_AUDIO_INFO_CHANNELS(&format));
        if (record.tapReady.load()) {
            record.tap.prepare(record.tap.storage, record.sampleRate.load(), record.channels.load(), true);
        }
        return GST_PAD_PROBE_OK;
    }
    const std::int32_t channels = record.channels.load();
    if (!record.tapReady.load(std::memory_order_acquire) || channels < 1) return GST_PAD_PROBE_OK;
    GstBuffer* buffer = GST_PAD_PROBE_INFO_BUFFER(info);
    GstMapInfo map;
    if (!gst_buffer_map(buffer, &map, GST_MAP_READ)) return GST_PAD_PROBE_OK;
    const float* samples = reinterpret_cast<const float*>(map.data);
    const auto frames = static_cast<std::uint32_t>(map.size / (sizeof(float) * static_cast<std::size_t>(channels)));
    record.tap.process(record.tap.storage, TapBuffers{&samples, 1, frames});
    gst_buffer_unmap(buffer, &map);
    return GST_PAD_PROBE_OK;
}

GstElement* makeAudioSink(GtkState& state, GtkPlayerRecord& record) {
    std::string description =
        "audioconvert ! capsfilter caps=audio/x-raw,format=F32LE,layout=interleaved ! identity name=tap ! "
        "volume name=volume ! ";
    description += state.audioToFakeSink ? kFakeOutput : kDesktopOutput;
    GError* error = nullptr;
    GstElement* sink = gst_parse_bin_from_description(description.c_str(), TRUE, &error);
    GErrorPtr failed(error);
    if (sink == nullptr) return nullptr;
    GstObjectPtr<GstElement> tap(gst_bin_get_by_name(GST_BIN(sink), "tap"));
    GstObjectPtr<GstPad> pad(gst_element_get_static_pad(tap.get(), "src"));
    gst_pad_add_probe(pad.get(),
                      static_cast<GstPadProbeType>(GST_PAD_PROBE_TYPE_BUFFER | GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM),
                      onTapProbe, &record, nullptr);
    record.volume.reset(gst_bin_get_by_name(GST_BIN(sink), "volume"));
    return sink;
}

bool canDecode(void* self, std::string_view path) {
    if (!ensureGstreamer(gtkState(self))) return false;
    GCharPtr uri = uriOf(path, false);
    if (!uri) return false;
    GError* error = nullptr;
    GObjectPtr<GstDiscoverer> discoverer(gst_discoverer_new(kProbeTimeout, &error));
    GErrorPtr failed(error);
    if (!discoverer) return false;
    error = nullptr;
    GObjectPtr<GstDiscovererInfo> info(gst_discoverer_discover_uri(discoverer.get(), uri.get(), &error));
    GErrorPtr discoverFailed(error);
    if (!info || gst_discoverer_info_get_result(info.get()) != GST_DISCOVERER_OK) return false;
    GList* streams = gst_discoverer_info_get_audio_streams(info.get());
    const bool hasAudio = streams != nullptr;
    gst_discoverer_stream_info_list_free(streams);
    return hasAudio;
}

PlayerRef createPlayer(void* self, const PlayerOptions& options) {
    GtkState& state = gtkState(self);
    if (!ensureGstreamer(state)) return nullptr;
    GCharPtr uri = uriOf(options.location, options.stream);
    if (!uri) return nullptr;
    auto record = std::make_unique<GtkPlayerRecord>();
    record->state = &state;
    record->number = state.nextPlayer++;
    record->events = options.events;
    record->stream = options.stream;
    GstElement* playbin = gst_element_factory_make("playbin", nullptr);
    if (playbin == nullptr) return nullptr;
    record->pipeline.reset(GST_ELEMENT(gst_object_ref_sink(playbin)));
    GstElement* sink = makeAudioSink(state, *record);
    if (sink == nullptr) return nullptr;
    g_object_set(playbin, "uri", uri.get(), "audio-sink", sink, "flags", kPlayAudioOnly, nullptr);
    GstObjectPtr<GstBus> bus(gst_element_get_bus(playbin));
    record->busWatch = gst_bus_add_watch(bus.get(), onBusMessage, record.get());
    // A failure to start shows on the bus as an error, like any later one.
    gst_element_set_state(playbin, GST_STATE_PAUSED);
    auto [entry, added] = state.players.emplace(record->number, std::move(record));
    return refOf(*entry->second);
}

void destroyPlayer(void* self, PlayerRef ref) {
    GtkState& state = gtkState(self);
    GtkPlayerRecord& record = recordOf(ref);
    if (record.busWatch != 0) g_source_remove(record.busWatch);
    // Going to NULL stops the streaming threads: the tap is not called after this.
    gst_element_set_state(record.pipeline.get(), GST_STATE_NULL);
    if (record.tapReady.load()) record.tap.finalize(record.tap.storage);
    state.players.erase(record.number);
}

void play(void*, PlayerRef ref) {
    GtkPlayerRecord& record = recordOf(ref);
    record.playing = true;
    if (!record.shortOfData && !record.ended) gst_element_set_state(record.pipeline.get(), GST_STATE_PLAYING);
    reportWaiting(record);
}

void pause(void*, PlayerRef ref) {
    GtkPlayerRecord& record = recordOf(ref);
    record.playing = false;
    gst_element_set_state(record.pipeline.get(), GST_STATE_PAUSED);
    reportWaiting(record);
}

void seek(void*, PlayerRef ref, std::uint64_t positionMs) {
    GtkPlayerRecord& record = recordOf(ref);
    if (!record.prerolled) {
        record.seekBeforePrerollMs = positionMs;
        record.seekTargetNs = static_cast<gint64>(positionMs * GST_MSECOND);
        return;
    }
    startSeek(record, positionMs);
}

void setVolume(void*, PlayerRef ref, double volume) {
    // The player's range is 0 ... 1; GStreamer's element warns outside its own.
    const double level = std::isnan(volume) ? 0.0 : std::clamp(volume, 0.0, 1.0);
    g_object_set(recordOf(ref).volume.get(), "volume", level, nullptr);
}

PlayerTimes times(void*, PlayerRef ref) {
    GtkPlayerRecord& record = recordOf(ref);
    PlayerTimes now;
    now.playing = record.playing && !record.ended;
    gint64 position = 0;
    if (record.seekTargetNs) {
        position = *record.seekTargetNs;
    } else if (gst_element_query_position(record.pipeline.get(), GST_FORMAT_TIME, &position) && position >= 0) {
        record.lastPositionNs = position;
    } else {
        position = record.lastPositionNs;
    }
    gint64 duration = 0;
    if (gst_element_query_duration(record.pipeline.get(), GST_FORMAT_TIME, &duration) && duration > 0) {
        now.durationMs = static_cast<double>(duration) / GST_MSECOND;
        position = std::min(position, duration);
    }
    if (record.prerolled) now.positionMs = static_cast<double>(position) / GST_MSECOND;
    return now;
}

void loadTracks(void*, PlayerRef ref) {
    GtkPlayerRecord& record = recordOf(ref);
    if (record.prerolled) {
        deliverTracks(record);
    } else {
        record.tracksAsked = true;
    }
}

bool attachTap(void*, PlayerRef ref, const AudioTap& tap) {
    GtkPlayerRecord& record = recordOf(ref);
    if (record.tapReady.load()) return false;
    record.tap = tap;
    record.tapReady.store(true, std::memory_order_seq_cst);
    // Either this or the probe's format change sees the other's store, so the tap is prepared.
    const std::int32_t channels = record.channels.load();
    if (channels > 0) tap.prepare(tap.storage, record.sampleRate.load(), channels, true);
    return true;
}

// Downloads: libsoup sends the request, GIO splices the body into a temporary file; both run
// on the main loop and stop on the download's cancellable.

void finishDownload(GtkDownloadRecord* download, bool completed);

void onBodySpliced(GObject* source, GAsyncResult* result, gpointer data) {
    auto* download = static_cast<GtkDownloadRecord*>(data);
    GError* error = nullptr;
    const gssize written = g_output_stream_splice_finish(G_OUTPUT_STREAM(source), result, &error);
    GErrorPtr failed(error);
    finishDownload(download, written >= 0);
}

void onResponse(GObject* source, GAsyncResult* result, gpointer data) {
    auto* download = static_cast<GtkDownloadRecord*>(data);
    GError* error = nullptr;
    GObjectPtr<GInputStream> body(soup_session_send_finish(SOUP_SESSION(source), result, &error));
    GErrorPtr failed(error);
    if (!body) {
        finishDownload(download, false);
        return;
    }
    download->status = static_cast<int>(soup_message_get_status(download->message.get()));
    GOutputStream* out = g_io_stream_get_output_stream(G_IO_STREAM(download->stream.get()));
    g_output_stream_splice_async(out, body.get(),
                                 static_cast<GOutputStreamSpliceFlags>(G_OUTPUT_STREAM_SPLICE_CLOSE_SOURCE |
                                                                       G_OUTPUT_STREAM_SPLICE_CLOSE_TARGET),
                                 G_PRIORITY_DEFAULT, download->cancellable.get(), onBodySpliced, download);
}

void finishDownload(GtkDownloadRecord* download, bool completed) {
    std::unique_ptr<GtkDownloadRecord> owned(download);
    owned->state->downloads.erase(owned->id);
    DownloadResult result;
    result.completed = completed;
    if (owned->status != 0) result.httpStatus = owned->status;
    GCharPtr path(owned->file ? g_file_get_path(owned->file.get()) : nullptr);
    if (path) result.file = path.get();
    owned->done(result);
    if (owned->file) g_file_delete(owned->file.get(), nullptr, nullptr);  // unless the completion took it
}

DownloadId startDownload(void* self, std::string_view url, DownloadDone done) {
    GtkState& state = gtkState(self);
    auto download = std::make_unique<GtkDownloadRecord>();
    download->state = &state;
    download->id = state.nextDownload++;
    download->done = std::move(done);
    const DownloadId id = download->id;
    if (!state.soup) state.soup.reset(soup_session_new());
    std::string text(url);
    download->message.reset(soup_message_new("GET", text.c_str()));
    GFileIOStream* stream = nullptr;
    if (download->message) download->file.reset(g_file_new_tmp("kelvo-download-XXXXXX", &stream, nullptr));
    download->stream.reset(stream);
    download->cancellable.reset(g_cancellable_new());
    GtkDownloadRecord* started = download.release();
    state.downloads.emplace(id, started);
    if (!started->file) {
        // Not a URL libsoup can fetch, or no temporary file: the download fails at once.
        state.post([started] { finishDownload(started, false); });
        return id;
    }
    soup_session_send_async(state.soup.get(), started->message.get(), G_PRIORITY_DEFAULT, started->cancellable.get(),
                            onResponse, started);
    return id;
}

void cancelDownload(void* self, DownloadId id) {
    GtkState& state = gtkState(self);
    auto found = state.downloads.find(id);
    if (found != state.downloads.end()) g_cancellable_cancel(found->second->cancellable.get());
}

}  // namespace

AudioService gtkAudio() {
    AudioService audio;
    KELVO_STANDIN_FILL(audio, KELVO_STANDIN_AUDIO_FUNCTIONS)
    return audio;
}

}  // namespace kelvo::standin
