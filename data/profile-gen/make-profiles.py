#!/usr/bin/env python3
"""Writes the XML output profiles into data/profile/.

Each profile offers a default video codec (the group's "preset" element, which
is also the first Vcodec entry) followed by alternatives, and the same for
audio. Every codec name is one the program's codec tables know, every encoder
behind it is one Debian's ffmpeg has, and every codec suits its container.
The default of every option list is checked against the loader's selection
rules before anything is written, so a default can never land on another
entry by accident.

Usage: make-profiles.py [OUTPUT_FOLDER]   (default: ../profile beside this script)
"""

import os
import sys
from xml.sax.saxutils import quoteattr, escape

# Names the codec tables accept (and the transcoder can encode).
VIDEO_CODECS = {"H.264/MPEG-4 AVC", "MPEG-4", "Microsoft MPEG-4", "Microsoft MPEG-4 v2",
                "MPEG-1", "MPEG-2", "wmv1", "wmv2", "H.263", "Motion JPEG", "Xvid", "FLV"}
AUDIO_CODECS = {"MP3", "mp3", "AAC", "mp2", "ac3", "pcm_s16le", "pcm_s16be", "pcm_alaw",
                "pcm_mulaw", "pcm_u8", "adpcm_ms", "adpcm_ima_wav", "Windows Media Audio V7",
                "Windows Media Audio V8", "AMR", "flac"}

# Which codecs each output format can hold.
CONTAINERS = {
    "AVI": ({"MPEG-4", "Xvid", "Microsoft MPEG-4", "Microsoft MPEG-4 v2", "H.264/MPEG-4 AVC",
             "Motion JPEG"}, {"MP3", "mp3", "ac3", "mp2", "pcm_s16le", "adpcm_ms"}),
    "ASF": ({"wmv2", "wmv1", "Microsoft MPEG-4"},
            {"Windows Media Audio V8", "Windows Media Audio V7", "MP3"}),
    "WMV": ({"wmv2", "wmv1", "Microsoft MPEG-4"},
            {"Windows Media Audio V8", "Windows Media Audio V7", "MP3"}),
    "MP4": ({"H.264/MPEG-4 AVC", "MPEG-4"}, {"AAC", "MP3"}),
    "M4V": ({"H.264/MPEG-4 AVC", "MPEG-4"}, {"AAC"}),
    "MOV": ({"H.264/MPEG-4 AVC", "MPEG-4", "Motion JPEG"}, {"AAC", "MP3", "pcm_s16le"}),
    "MPG": ({"MPEG-1", "MPEG-2"}, {"mp2", "ac3"}),
    "TS": ({"MPEG-2", "H.264/MPEG-4 AVC"}, {"mp2", "ac3", "AAC"}),
    "FLV": ({"FLV", "H.264/MPEG-4 AVC"}, {"MP3", "AAC"}),
    "MKV": ({"H.264/MPEG-4 AVC", "MPEG-4", "Xvid"}, {"AAC", "MP3", "ac3"}),
    "3GP": ({"MPEG-4", "H.263", "H.264/MPEG-4 AVC"}, {"AAC", "AMR"}),
    "3G2": ({"MPEG-4", "H.263", "H.264/MPEG-4 AVC"}, {"AAC", "AMR"}),
    "AAC": (set(), {"AAC"}),
    "AC3": (set(), {"ac3"}),
    "AIFF": (set(), {"pcm_s16be"}),
    "AMR": (set(), {"AMR"}),
    "AU": (set(), {"pcm_s16be", "pcm_mulaw", "pcm_alaw"}),
    "FLAC": (set(), {"flac"}),
    "M4A": (set(), {"AAC"}),
    "MP2": (set(), {"mp2"}),
    "MP3": (set(), {"MP3"}),
    "WAV": (set(), {"pcm_s16le", "pcm_u8", "adpcm_ms", "adpcm_ima_wav"}),
    "WMA": (set(), {"Windows Media Audio V8", "Windows Media Audio V7"}),
}

# ---------------------------------------------------------------- option lists

SIZES = ["Auto", "176x144", "320x240", "352x288", "376x240", "480x272", "480x320", "480x360",
         "640x360", "640x480", "720x480", "720x576", "800x480", "854x480", "960x640",
         "1024x600", "1024x768", "1280x720", "1280x800", "1920x1080"]
H263_SIZES = ["128x96", "176x144", "352x288"]
VBITRATES = ["Auto", "128K", "256K", "384K", "512K", "768K", "1000K", "1150K", "1200K", "1500K",
             "2000K", "2500K", "3000K", "4000K", "5000K", "6000K", "8000K"]
RATES = ["Auto", "12fps", "15fps", "20fps", "23.976fps", "24fps", "25fps", "29.97fps", "30fps"]
# MPEG-1 and MPEG-2 take only the broadcast rates.
MPEG_RATES = ["23.976fps", "24fps", "25fps", "29.97fps", "30fps"]

SAMPLE_RATES = ["22050", "32000", "44100", "48000"]
MOBILE_RATES = ["11025", "16000", "22050", "32000", "44100", "48000"]
FLV_RATES = ["11025", "22050", "44100"]
MPEG_AUDIO_RATES = ["32000", "44100", "48000"]
ABITRATES = ["32K", "48K", "64K", "96K", "112K", "128K", "160K", "192K", "224K", "256K", "320K"]
WMA_BITRATES = ["48K", "64K", "96K", "128K", "160K", "192K"]
AMR_BITRATES = ["4.75K", "5.15K", "5.9K", "6.7K", "7.4K", "7.95K", "10.2K", "12.2K"]
STEREO = ["Mono", "Stereo"]
SURROUND = ["Mono", "Stereo", "5.1"]


def video(name, size, bitrate, rate="Auto", sizes=None, rates=None):
    if sizes is None:
        sizes = H263_SIZES if name == "H.263" else SIZES
    if rates is None:
        rates = MPEG_RATES if name in ("MPEG-1", "MPEG-2") else RATES
    return {"name": name, "lists": [("size", sizes, size), ("bitrate", VBITRATES, bitrate),
                                    ("frame_rate", rates, rate)]}


def audio(name, sample_rate="44100", bitrate="128K", channels="2", rates=None, bitrates=None,
          channel_items=None):
    if rates is None:
        rates = {"mp2": MPEG_AUDIO_RATES, "ac3": MPEG_AUDIO_RATES}.get(name, SAMPLE_RATES)
    if bitrates is None:
        bitrates = WMA_BITRATES if name.startswith("Windows Media") else ABITRATES
    if channel_items is None:
        channel_items = SURROUND if name == "ac3" else STEREO
    return {"name": name, "lists": [("sample_rate", rates, sample_rate),
                                    ("bitrate", bitrates, bitrate),
                                    ("channels", channel_items, channels)]}


def amr():
    return audio("AMR", "8000", "12.2K", "1", rates=["8000"], bitrates=AMR_BITRATES,
                 channel_items=["Mono"])


def pcm(name, bitrate="1411K"):
    return audio(name, "44100", bitrate, "2", bitrates=[bitrate])


# ------------------------------------------------------------- profile shapes

def h264(size, bitrate, rate="Auto"):
    return video("H.264/MPEG-4 AVC", size, bitrate, rate)


def mpeg4(size, bitrate, rate="Auto"):
    return video("MPEG-4", size, bitrate, rate)


def alternatives(first, names):
    """The default codec first, then the other codecs with its option defaults."""
    out = [first]
    for name in names:
        if name == first["name"]:
            continue
        size, bitrate, rate = (lst[2] for lst in first["lists"])
        if name == "H.263":
            size = "176x144" if size not in H263_SIZES else size
        if name in ("MPEG-1", "MPEG-2") and rate == "Auto":
            rate = "25"
        out.append(video(name, size, bitrate, rate))
    return out


def mp4_video(size, bitrate, main="H.264/MPEG-4 AVC", rate="Auto"):
    first = video(main, size, bitrate, rate)
    return {"video": alternatives(first, ["H.264/MPEG-4 AVC", "MPEG-4"]),
            "audio": [audio("AAC", "44100", "128K"), audio("MP3", "44100", "128K")]}


def m4v_video(size, bitrate):
    return {"video": alternatives(mpeg4(size, bitrate), ["H.264/MPEG-4 AVC"]),
            "audio": [audio("AAC", "44100", "128K")]}


def mov_video(size, bitrate, main="H.264/MPEG-4 AVC"):
    first = video(main, size, bitrate)
    return {"video": alternatives(first, ["H.264/MPEG-4 AVC", "MPEG-4", "Motion JPEG"]),
            "audio": [audio("AAC", "44100", "128K"), audio("MP3", "44100", "128K")]}


def avi_video(size, bitrate, main="MPEG-4"):
    first = video(main, size, bitrate)
    return {"video": alternatives(first, ["MPEG-4", "Xvid", "Microsoft MPEG-4",
                                          "Microsoft MPEG-4 v2", "H.264/MPEG-4 AVC"]),
            "audio": [audio("MP3", "44100", "128K"), audio("ac3", "48000", "192K"),
                      audio("mp2", "44100", "192K")]}


def wmv_video(size, bitrate):
    return {"video": alternatives(video("wmv2", size, bitrate), ["wmv1", "Microsoft MPEG-4"]),
            "audio": [audio("Windows Media Audio V8", "44100", "128K"),
                      audio("Windows Media Audio V7", "44100", "128K")]}


def mpg_video(size, bitrate, rate, main="MPEG-2"):
    first = video(main, size, bitrate, rate)
    return {"video": alternatives(first, ["MPEG-2", "MPEG-1"]),
            "audio": [audio("mp2", "48000", "192K"), audio("ac3", "48000", "192K")]}


def ts_video(size, bitrate, rate):
    return {"video": alternatives(video("MPEG-2", size, bitrate, rate), ["H.264/MPEG-4 AVC"]),
            "audio": [audio("ac3", "48000", "192K"), audio("mp2", "48000", "192K"),
                      audio("AAC", "48000", "192K")]}


def mkv_video(size, bitrate):
    return {"video": alternatives(h264(size, bitrate), ["MPEG-4", "Xvid"]),
            "audio": [audio("AAC", "44100", "128K"), audio("ac3", "48000", "192K"),
                      audio("MP3", "44100", "128K")]}


def phone_3gp(channels, main="MPEG-4", size="176x144", bitrate="256K"):
    first = video(main, size, bitrate, "15")
    voice = [amr(), audio("AAC", "22050", "32K", "1", rates=MOBILE_RATES)]
    music = [audio("AAC", "22050", "64K", "2", rates=MOBILE_RATES), amr()]
    return {"video": alternatives(first, ["MPEG-4", "H.263", "H.264/MPEG-4 AVC"]),
            "audio": voice if channels == 1 else music}


def audio_only(*codecs):
    return {"video": None, "audio": list(codecs)}


PROFILES = {
    # General Video
    "avi.format.xml": ("AVI", avi_video("Auto", "1200K")),
    "asf.format.xml": ("ASF", wmv_video("Auto", "1200K")),
    "mp4.format.xml": ("MP4", mp4_video("Auto", "1200K")),
    "mov.format.xml": ("MOV", mov_video("Auto", "1200K")),
    "divx.format.xml": ("AVI", avi_video("Auto", "1200K")),
    "xvid.format.xml": ("AVI", avi_video("Auto", "1200K", main="Xvid")),
    "mpeg1.format.xml": ("MPG", mpg_video("352x288", "1150K", "25", main="MPEG-1")),
    "mpeg2.format.xml": ("MPG", mpg_video("720x576", "4000K", "25")),
    "flv.format.xml": ("FLV", {
        "video": alternatives(video("FLV", "Auto", "768K"), ["H.264/MPEG-4 AVC"]),
        "audio": [audio("MP3", "44100", "128K", rates=FLV_RATES),
                  audio("AAC", "44100", "128K")]}),
    "mkv.format.xml": ("MKV", mkv_video("Auto", "1200K")),
    # General Audio
    "aac.format.xml": ("AAC", audio_only(audio("AAC", "44100", "128K"))),
    "ac3.format.xml": ("AC3", audio_only(audio("ac3", "48000", "192K"))),
    "aiff.format.xml": ("AIFF", audio_only(pcm("pcm_s16be"))),
    "amr.format.xml": ("AMR", audio_only(amr())),
    "au.format.xml": ("AU", audio_only(pcm("pcm_s16be"), pcm("pcm_mulaw", "706K"),
                                       pcm("pcm_alaw", "706K"))),
    "flac.format.xml": ("FLAC", audio_only(audio("flac", "44100", "Auto", bitrates=["Auto"]))),
    "m4a.format.xml": ("M4A", audio_only(audio("AAC", "44100", "128K"))),
    "mp2.format.xml": ("MP2", audio_only(audio("mp2", "44100", "192K"))),
    "mp3.format.xml": ("MP3", audio_only(audio("MP3", "44100", "128K"))),
    "wav.format.xml": ("WAV", audio_only(pcm("pcm_s16le"), pcm("pcm_u8", "706K"),
                                         pcm("adpcm_ms", "353K"), pcm("adpcm_ima_wav", "353K"))),
    "wma.format.xml": ("WMA", audio_only(audio("Windows Media Audio V8", "44100", "128K"),
                                         audio("Windows Media Audio V7", "44100", "128K"))),
    # iPad
    "ipad_h264.format.xml": ("MP4", mp4_video("1024x768", "1500K")),
    "ipad_h264_hd.format.xml": ("MP4", mp4_video("1280x720", "2500K")),
    "ipad_mpeg4.format.xml": ("MP4", mp4_video("1024x768", "1500K", main="MPEG-4")),
    "iPad2_ h264_hd.format.xml": ("MP4", mp4_video("1280x720", "3000K")),
    # iPhone
    "iphone_h264.format.xml": ("MP4", mp4_video("480x320", "768K")),
    "iphone_h264_tv.format.xml": ("MP4", mp4_video("640x480", "1500K")),
    "iphone4_h264.format.xml": ("MP4", mp4_video("960x640", "1500K")),
    "iphone4_mpeg4.format.xml": ("MP4", mp4_video("960x640", "1500K", main="MPEG-4")),
    "iphone_mpeg4.format.xml": ("MP4", mp4_video("480x320", "768K", main="MPEG-4")),
    "iphone_mpeg4_tv.format.xml": ("MP4", mp4_video("640x480", "1500K", main="MPEG-4")),
    # iPod
    "ipod_h264.format.xml": ("MP4", mp4_video("320x240", "768K")),
    "ipod_h264_tv.format.xml": ("MP4", mp4_video("640x480", "1500K")),
    "ipod_mpeg4.format.xml": ("MP4", mp4_video("320x240", "768K", main="MPEG-4")),
    "ipod_mpeg4_tv.format.xml": ("MP4", mp4_video("640x480", "1500K", main="MPEG-4")),
    "ipodnano5_h264.format.xml": ("MP4", mp4_video("376x240", "768K")),
    "ipodnano5_mpeg4.format.xml": ("MP4", mp4_video("376x240", "768K", main="MPEG-4")),
    "ipodnano5_m4v.format.xml": ("M4V", m4v_video("376x240", "768K")),
    "ipodtouch_h264.format.xml": ("MP4", mp4_video("480x320", "768K")),
    "ipodtouch_h264_tv.format.xml": ("MP4", mp4_video("640x480", "1500K")),
    "ipodtouch_mpeg4.format.xml": ("MP4", mp4_video("480x320", "768K", main="MPEG-4")),
    "ipodtouch_mpeg4_tv.format.xml": ("MP4", mp4_video("640x480", "1500K", main="MPEG-4")),
    "ipodtouch_m4v.format.xml": ("M4V", m4v_video("480x320", "768K")),
    # Apple TV
    "AppleTV_mpeg4.format.xml": ("MP4", mp4_video("720x480", "2500K", main="MPEG-4")),
    "AppleTV_h264_hd.format.xml": ("MP4", mp4_video("1280x720", "4000K")),
    "AppleTV_h264_normal.format.xml": ("MP4", mp4_video("720x480", "2000K")),
    # HD-Video
    "mov_hd.format.xml": ("MOV", mov_video("1280x720", "4000K")),
    "asf_hd.format.xml": ("ASF", wmv_video("1280x720", "4000K")),
    "avi_hd.format.xml": ("AVI", avi_video("1280x720", "4000K")),
    "divx_hd.format.xml": ("AVI", avi_video("1280x720", "4000K")),
    "h264_hd_mpeg4.format.xml": ("MP4", mp4_video("1280x720", "4000K")),
    "mpeg2_hd.format.xml": ("MPG", mpg_video("1280x720", "6000K", "25")),
    "mpeg2_ts.format.xml": ("TS", ts_video("1280x720", "6000K", "25")),
    "mpeg4_hd.format.xml": ("MP4", mp4_video("1280x720", "4000K", main="MPEG-4")),
    "wmv_hd.format.xml": ("WMV", wmv_video("1280x720", "4000K")),
    "xvid_hd.format.xml": ("AVI", avi_video("1280x720", "4000K", main="Xvid")),
    "mkv_hd.format.xml": ("MKV", mkv_video("1280x720", "4000K")),
    # XBox360
    "Xbox_divx.format.xml": ("AVI", avi_video("640x480", "1500K")),
    "Xbox_divx_hd.format.xml": ("AVI", avi_video("1280x720", "4000K")),
    "Xbox_h264_normal.format.xml": ("MOV", mov_video("640x480", "1500K")),
    "Xbox_h264_hd.format.xml": ("MOV", mov_video("1280x720", "4000K")),
    "Xbox_mpeg2_normal.format.xml": ("MPG", mpg_video("720x480", "4000K", "29.97")),
    "Xbox_mpeg2_hd.format.xml": ("MPG", mpg_video("1280x720", "6000K", "29.97")),
    "Xbox_mpeg2_ts_hd.format.xml": ("TS", ts_video("1280x720", "6000K", "29.97")),
    "Xbox_mpeg4_normal.format.xml": ("MOV", mov_video("640x480", "1500K", main="MPEG-4")),
    "Xbox_mpeg4_hd.format.xml": ("MOV", mov_video("1280x720", "4000K", main="MPEG-4")),
    "Xbox_wmv_normal.format.xml": ("WMV", wmv_video("640x480", "1500K")),
    "Xbox_wmv_hd.format.xml": ("WMV", wmv_video("1280x720", "4000K")),
    "Xbox_xvid_normal.format.xml": ("AVI", avi_video("640x480", "1500K", main="Xvid")),
    "Xbox_xvid_hd.format.xml": ("AVI", avi_video("1280x720", "4000K", main="Xvid")),
    # PSP
    "psp_h264_mini.format.xml": ("MP4", mp4_video("320x240", "512K", rate="29.97")),
    "psp_h264_normal.format.xml": ("MP4", mp4_video("480x272", "768K", rate="29.97")),
    "psp_h264_tv.format.xml": ("MP4", mp4_video("720x480", "1500K", rate="29.97")),
    "psp_mpeg4.format.xml": ("MP4", mp4_video("480x272", "768K", main="MPEG-4", rate="29.97")),
    # PS3
    "ps3_divx_hd.format.xml": ("AVI", avi_video("1280x720", "4000K")),
    "ps3_divx_normal.format.xml": ("AVI", avi_video("720x480", "2000K")),
    "ps3_h264_hd.format.xml": ("MP4", mp4_video("1280x720", "4000K")),
    "ps3_h264_normal.format.xml": ("MP4", mp4_video("720x480", "2000K")),
    "ps3_mpeg2_hd.format.xml": ("MPG", mpg_video("1280x720", "6000K", "29.97")),
    "ps3_mpeg2_normal.format.xml": ("MPG", mpg_video("720x480", "4000K", "29.97")),
    "ps3_mpeg2_ts_hd.format.xml": ("TS", ts_video("1280x720", "6000K", "29.97")),
    "ps3_wmv_hd.format.xml": ("WMV", wmv_video("1280x720", "4000K")),
    "ps3_wmv_normal.format.xml": ("WMV", wmv_video("720x480", "2000K")),
    "ps3_xvid_hd.format.xml": ("AVI", avi_video("1280x720", "4000K", main="Xvid")),
    "ps3_xvid_normal.format.xml": ("AVI", avi_video("720x480", "2000K", main="Xvid")),
    # Wii: Motion JPEG with plain PCM sound is what its photo channel plays.
    "wii_avi.format.xml": ("AVI", {
        "video": alternatives(video("Motion JPEG", "640x480", "3000K", "20"), ["MPEG-4"]),
        "audio": [pcm("pcm_s16le"), audio("MP3", "44100", "128K")]}),
    "wii_mov.format.xml": ("MOV", {
        "video": alternatives(video("Motion JPEG", "640x480", "3000K", "20"), ["MPEG-4"]),
        "audio": [pcm("pcm_s16le"), audio("AAC", "44100", "128K")]}),
    # Mobile Phone
    "BlackBerry 3GP Video - Stereo 3gp.xml": ("3GP", phone_3gp(2, size="320x240", bitrate="384K")),
    "BlackBerry 3GP Video - Mono 3gp.xml": ("3GP", phone_3gp(1, size="320x240", bitrate="384K")),
    "BlackBerry AVI Video avi.xml": ("AVI", avi_video("320x240", "512K")),
    "BlackBerry Bold 9000 mp4.xml": ("MP4", mp4_video("480x320", "768K", main="MPEG-4")),
    "BlackBerry Bold 9000 wmv.xml": ("WMV", wmv_video("480x320", "768K")),
    "BlackBerry Storm 9500 mp4.xml": ("MP4", mp4_video("480x360", "768K", main="MPEG-4")),
    "BlackBerry Storm 9500 wmv.xml": ("WMV", wmv_video("480x360", "768K")),
    "BlackBerry Storm 9530 mp4.xml": ("MP4", mp4_video("480x360", "768K", main="MPEG-4")),
    "BlackBerry Storm 9530 wmv.xml": ("WMV", wmv_video("480x360", "768K")),
    "BlackBerry Storm series mp4.xml": ("MP4", mp4_video("480x360", "768K")),
    "BlackBerry Storm series wmv.xml": ("WMV", wmv_video("480x360", "768K")),
    "Gphone WMV - Windows Media Video.xml": ("WMV", wmv_video("480x320", "768K")),
    "Gphone H.263 3GP Video - Mono.xml": ("3GP", phone_3gp(1, main="H.263")),
    "Gphone H.263 3GP Video - Stereo.xml": ("3GP", phone_3gp(2, main="H.263")),
    "Gphone H.264-MPEG4 AVC Video.xml": ("MP4", mp4_video("480x320", "768K")),
    "Gphone MPEG4 Video.xml": ("MP4", mp4_video("480x320", "768K", main="MPEG-4")),
    "LG MPEG-4 Video mp4.xml": ("MP4", mp4_video("320x240", "512K", main="MPEG-4")),
    "LG 3GP Video - Mono 3gp.xml": ("3GP", phone_3gp(1)),
    "LG 3GP Video - Stereo 3gp.xml": ("3GP", phone_3gp(2)),
    "Mobile Phone 3GPP Video - Stereo 3g2.xml": ("3G2", phone_3gp(2, main="H.263")),
    "Mobile Phone 3GPP Video - Mono 3g2.xml": ("3G2", phone_3gp(1, main="H.263")),
    "Mobile Phone 3GP Video - Stereo 3gp.xml": ("3GP", phone_3gp(2)),
    "Mobile Phone 3GP Video - Mono 3gp.xml": ("3GP", phone_3gp(1)),
    "Motorola MPEG-4 Video mp4.xml": ("MP4", mp4_video("320x240", "512K", main="MPEG-4")),
    "Motorola 3GP Video - Mono 3gp.xml": ("3GP", phone_3gp(1)),
    "Motorola 3GP Video - Stereo 3gp.xml": ("3GP", phone_3gp(2)),
    "Palm Pre Video WMV.xml": ("WMV", wmv_video("480x320", "768K")),
    "Palm Pre 3GP Video - Mono 3gp.xml": ("3GP", phone_3gp(1, size="320x240", bitrate="384K")),
    "Palm Pre 3GP Video - Stereo 3gp.xml": ("3GP", phone_3gp(2, size="320x240", bitrate="384K")),
    "Palm Pre Video MPEG-4.xml": ("MP4", mp4_video("480x320", "768K", main="MPEG-4")),
    "Samsung MPEG-4 Video mp4.xml": ("MP4", mp4_video("320x240", "512K", main="MPEG-4")),
    "Samsung 3GP Video - Mono 3gp.xml": ("3GP", phone_3gp(1)),
    "Samsung 3GP Video - Stereo 3gp.xml": ("3GP", phone_3gp(2)),
    "Sony XPERIA X1a MPEG-4 Video.xml": ("MP4", mp4_video("800x480", "1000K", main="MPEG-4")),
    "Sony Ericsson 3GP Video - Mono 3gp.xml": ("3GP", phone_3gp(1)),
    "Sony Ericsson 3GP Video - Stereo 3gp.xml": ("3GP", phone_3gp(2)),
    "Sony Ericsson MPEG-4 Video mp4.xml": ("MP4", mp4_video("320x240", "512K", main="MPEG-4")),
    # Android
    "Android - MPEG Video.xml": ("MP4", mp4_video("480x320", "768K", main="MPEG-4")),
    "Android(320x240) - H.264 Video.xml": ("MP4", mp4_video("320x240", "512K")),
    "Android(480x320) - H.264 Video.xml": ("MP4", mp4_video("480x320", "768K")),
    "Android(800x480) - H.264 Video.xml": ("MP4", mp4_video("800x480", "1000K")),
    "Android(854x480) - H.264 Video.xml": ("MP4", mp4_video("854x480", "1000K")),
    "HTC G2 Magic - MPEG Video.xml": ("MP4", mp4_video("480x320", "768K", main="MPEG-4")),
    "HTC Hero - MPEG Video.xml": ("MP4", mp4_video("480x320", "768K", main="MPEG-4")),
    "HTC Tattoo - MPEG Video.xml": ("MP4", mp4_video("320x240", "512K", main="MPEG-4")),
    "Motorola CLIQ - MPEG Video.xml": ("MP4", mp4_video("480x320", "768K", main="MPEG-4")),
    "Motorola Droid - MPEG Video.xml": ("MP4", mp4_video("854x480", "1000K", main="MPEG-4")),
    "Nexus One - MPEG Video.xml": ("MP4", mp4_video("800x480", "1000K", main="MPEG-4")),
    "SamSung i7500 - MPEG Video.xml": ("MP4", mp4_video("480x320", "768K", main="MPEG-4")),
    # Android Pad
    "Motorola Xoom - H.264 Video.xml": ("MP4", mp4_video("1280x800", "2500K")),
    "Motorola Xoom - MPEG Video.xml": ("MP4", mp4_video("1280x800", "2500K", main="MPEG-4")),
    "Samsung P1000 - H.264 Video.xml": ("MP4", mp4_video("1024x600", "1500K")),
    "Samsung P1000 - MPEG Video.xml": ("MP4", mp4_video("1024x600", "1500K", main="MPEG-4")),
    # Windows Phone. The "WMV" profile writes an MP4 file (its label), which
    # cannot hold Windows Media video: it offers the MPEG-4 codecs instead.
    "Windows Phone 7 - H.264 Video.xml": ("MP4", mp4_video("800x480", "1000K")),
    "Windows Phone 7 - MPEG Video.xml": ("MP4", mp4_video("800x480", "1000K", main="MPEG-4")),
    "Windows Phone 7 - WMV Video.xml": ("MP4", mp4_video("800x480", "1000K", main="MPEG-4")),
}


# ------------------------------------------------------------ rules and checks

def selected(items, default, kind):
    """The entry the loader selects, by the same rules as the program."""
    if kind == "channels":
        if len(items) > 1:
            wanted = {"1": 0, "2": 1, "5.1": 2}.get(default, 0)
            return wanted if wanted < len(items) else 0
        return 0
    current = 0
    for i, item in enumerate(items):
        tested = item
        if kind == "frame_rate" and i < len(items) - 1 and len(item) >= 3:
            tested = item[:-3]
        if default == "" or default in tested:
            current = i
    return current


def expected(items, default, kind):
    if kind == "channels":
        return {"1": "Mono", "2": "Stereo", "5.1": "5.1"}[default]
    if kind == "frame_rate" and default != "Auto":
        return default + "fps"
    return default


def check(file_name, label, profile):
    video_names, audio_names = CONTAINERS[label]
    groups = [("video", profile["video"] or [], video_names, VIDEO_CODECS),
              ("audio", profile["audio"], audio_names, AUDIO_CODECS)]
    for group, codecs, allowed, known in groups:
        names = [c["name"] for c in codecs]
        if len(set(names)) != len(names):
            raise SystemExit(f"{file_name}: {group} codec named twice")
        for codec in codecs:
            if codec["name"] not in known or codec["name"] not in allowed:
                raise SystemExit(f"{file_name}: {codec['name']} does not suit {label}")
            for kind, items, default in codec["lists"]:
                if any("," in item or item != item.strip() for item in items):
                    raise SystemExit(f"{file_name}: bad entry in {kind}")
                want = expected(items, default, kind)
                if want not in items:
                    raise SystemExit(f"{file_name}: {kind} default {default} not offered")
                got = items[selected(items, default, kind)]
                if got != want:
                    raise SystemExit(f"{file_name}: {kind} default {default} selects {got}")
    if (profile["video"] is None) != (label in ("AAC", "AC3", "AIFF", "AMR", "AU", "FLAC", "M4A",
                                                  "MP2", "MP3", "WAV", "WMA")):
        raise SystemExit(f"{file_name}: audio-only shape does not match {label}")


# ----------------------------------------------------------------- XML output

def codec_element(tag, codec, indent):
    pad = " " * indent
    lines = [f"{pad}<{tag} name={quoteattr(codec['name'])}>"]
    for kind, items, default in codec["lists"]:
        lines.append(f"{pad}  <{kind} items={quoteattr(','.join(items))}>{escape(default)}</{kind}>")
    lines.append(f"{pad}</{tag}>")
    return lines


def group_element(tag, codecs):
    if not codecs:
        # An audio profile: one empty video entry, which builds an audio-only job.
        return [f'  <{tag} default="">', '    <preset name=""/>', f"  </{tag}>"]
    lines = [f"  <{tag} default={quoteattr(codecs[0]['name'])}>"]
    lines += codec_element("preset", codecs[0], 4)
    for codec in codecs[1:]:
        lines += codec_element("codec", codec, 4)
    lines.append(f"  </{tag}>")
    return lines


def document(profile):
    lines = ['<?xml version="1.0" encoding="UTF-8"?>', "<profile>"]
    lines += group_element("vcodec", profile["video"])
    lines += group_element("acodec", profile["audio"])
    lines.append("</profile>")
    return "\n".join(lines) + "\n"


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "..", "profile")
    os.makedirs(out, exist_ok=True)
    for file_name, (label, profile) in sorted(PROFILES.items()):
        check(file_name, label, profile)
    for file_name, (label, profile) in sorted(PROFILES.items()):
        with open(os.path.join(out, file_name), "w", encoding="utf-8", newline="\n") as f:
            f.write(document(profile))
    print(f"{len(PROFILES)} profiles written to {os.path.normpath(out)}")


if __name__ == "__main__":
    main()
