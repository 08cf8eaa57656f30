#include "profilecatalogue.h"

#include <array>

namespace {

struct CategoryRow {
    const char *text;
    const char *picture;
};

const std::array<CategoryRow, ProfileCatalogue::kCategoryCount> kCategories = {{
    {"General Video", "images/default.png"},
    {"General Audio", "images/audio.png"},
    {"iPad", "images/Apple_Ipad.PNG"},
    {"iPhone", "images/Apple_IPhone.png"},
    {"iPod", "images/Apple_IPod_classic.png"},
    {"Apple TV", "images/macpro.PNG"},
    {"HD-Video", "images/default.png"},
    {"XBox360", "images/xbox.png"},
    {"PSP", "images/PSP_SonyPSP.png"},
    {"PS3", "images/PS3.PNG"},
    {"Wii", "images/wii.png"},
    {"Mobile Phone", "images/Mobile Phone.png"},
    {"Android", "images/Android.png"},
    {"Android Pad", "images/Android Pad.png"},
    {"Windows Phone", "images/windows phone.png"},
}};

const char *const kDefaultPicture = "images/default.png";
const char *const kIpodNanoPicture = "images/Apple_IPod_Nano.png";
const char *const kIpodTouchPicture = "images/Apple_IPod_touch.png";
constexpr int kIpodCategory = 4;
constexpr int kFirstIpodNano = 4;
constexpr int kFirstIpodTouch = 7;

struct ProfileRow {
    int key;
    const char *description;
    const char *fileName;
    const char *formatLabel;
};

// Rows in key order; within a category the detail indexes run from 0 without
// gaps. Keys 1133 and 1137 share one profile file.
const ProfileRow kProfiles[] = {
    // 0, "General Video"
    {0, "AVI - Audio-Video Interleaved(*.avi)", "avi.format.xml", "AVI"},
    {1, "ASF - Advanced Streaming Format(*.asf)", "asf.format.xml", "ASF"},
    {2, "MP4 - MPEG-4 Video(*.mp4)", "mp4.format.xml", "MP4"},
    {3, "MOV - QuickTime Video(*.mov)", "mov.format.xml", "MOV"},
    {4, "DivX - Video(*.avi)", "divx.format.xml", "AVI"},
    {5, "Xvid - Video(*.avi)", "xvid.format.xml", "AVI"},
    {6, "MPEG1 - Video(*.mpg)", "mpeg1.format.xml", "MPG"},
    {7, "MPEG2 - Video(*.mpg)", "mpeg2.format.xml", "MPG"},
    {8, "FLV - Flash Video Format(*.flv)", "flv.format.xml", "FLV"},
    {9, "MKV - Matroska Video Format(*.mkv)", "mkv.format.xml", "MKV"},
    // 1, "General Audio"
    {100, "AAC - Advanced Audio Coding(*.aac)", "aac.format.xml", "AAC"},
    {101, "AC3 - Dolby Digital AC-3(*.ac3)", "ac3.format.xml", "AC3"},
    {102, "AIFF - Audio Interchange File Format(*.aiff)", "aiff.format.xml", "AIFF"},
    {103, "AMR - Adaptive Multi-Rate Format(*.amr)", "amr.format.xml", "AMR"},
    {104, "AU - Sun AU Format(*.au)", "au.format.xml", "AU"},
    {105, "FLAC - Free Lossless Audio Codec(*.flac)", "flac.format.xml", "FLAC"},
    {106, "M4A - MPEG-4 Audio(*.m4a)", "m4a.format.xml", "M4A"},
    {107, "MP2 - MPEG Layer-2 Audio(*.mp2)", "mp2.format.xml", "MP2"},
    {108, "MP3 - MPEG Layer-3 Audio(*.mp3)", "mp3.format.xml", "MP3"},
    {109, "WAV - WaveForm Audio(*.wav)", "wav.format.xml", "WAV"},
    {110, "WMA - Windows Media Audio(*.wma)", "wma.format.xml", "WMA"},
    // 2, "iPad"
    {200, "iPad - H.264 Video(*.mp4)", "ipad_h264.format.xml", "MP4"},
    {201, "iPad - H.264 HD Video(*.mp4)", "ipad_h264_hd.format.xml", "MP4"},
    {202, "iPad - MPEG4 Video(*.mp4)", "ipad_mpeg4.format.xml", "MP4"},
    {203, "iPad2 - H.264 HD Video(*.mp4)", "iPad2_ h264_hd.format.xml", "MP4"},
    // 3, "iPhone"
    {300, "iPhone - H.264 Video(*.mp4)", "iphone_h264.format.xml", "MP4"},
    {301, "iPhone - H.264 Video for TV(*.mp4)", "iphone_h264_tv.format.xml", "MP4"},
    {302, "iPhone4 - H.264 Video(*.mp4)", "iphone4_h264.format.xml", "MP4"},
    {303, "iPhone4 - MPEG4 Video(*.mp4)", "iphone4_mpeg4.format.xml", "MP4"},
    {304, "iPhone - MPEG4 Video(*.mp4)", "iphone_mpeg4.format.xml", "MP4"},
    {305, "iPhone - MPEG4 Video for TV(*.mp4)", "iphone_mpeg4_tv.format.xml", "MP4"},
    // 4, "iPod"
    {400, "iPod - H.264 Video(*.mp4)", "ipod_h264.format.xml", "MP4"},
    {401, "iPod - H.264 Video for TV(*.mp4)", "ipod_h264_tv.format.xml", "MP4"},
    {402, "iPod - MPEG4 Video(*.mp4)", "ipod_mpeg4.format.xml", "MP4"},
    {403, "iPod - MPEG4 Video for TV(*.mp4)", "ipod_mpeg4_tv.format.xml", "MP4"},
    {404, "iPod - Nano5 H.264 Video(*.mp4)", "ipodnano5_h264.format.xml", "MP4"},
    {405, "iPod - Nano5 MPEG4 Video(*.mp4)", "ipodnano5_mpeg4.format.xml", "MP4"},
    {406, "iPod - Nano5 MPEG4 Video(*.m4v)", "ipodnano5_m4v.format.xml", "M4V"},
    {407, "iPod - Touch H.264 Video(*.mp4)", "ipodtouch_h264.format.xml", "MP4"},
    {408, "iPod - Touch H.264 Video for TV(*.mp4)", "ipodtouch_h264_tv.format.xml", "MP4"},
    {409, "iPod - Touch MPEG4 Video(*.mp4)", "ipodtouch_mpeg4.format.xml", "MP4"},
    {410, "iPod - Touch MPEG4 Video for TV(*.mp4)", "ipodtouch_mpeg4_tv.format.xml", "MP4"},
    {411, "iPod - Touch MPEG4 Video(*.m4v)", "ipodtouch_m4v.format.xml", "M4V"},
    // 5, "Apple TV"
    {500, "Apple TV - MPEG4 Video(*.mp4)", "AppleTV_mpeg4.format.xml", "MP4"},
    {501, "Apple TV - H.264 HD Video(*.mp4)", "AppleTV_h264_hd.format.xml", "MP4"},
    {502, "Apple TV - H.264 Video(*.mp4)", "AppleTV_h264_normal.format.xml", "MP4"},
    // 6, "HD-Video"
    {600, "MOV - MOV HD Video(*.mov)", "mov_hd.format.xml", "MOV"},
    {601, "ASF - ASF HD Video(*.asf)", "asf_hd.format.xml", "ASF"},
    {602, "AVI - AVI HD Video(*.avi)", "avi_hd.format.xml", "AVI"},
    {603, "DivX - DivX HD Video(*.avi)", "divx_hd.format.xml", "AVI"},
    {604, "H.264 - H.264 HD Video(*.mp4)", "h264_hd_mpeg4.format.xml", "MP4"},
    {605, "MPEG2 - MPEG2 HD Video(*.mpg)", "mpeg2_hd.format.xml", "MPG"},
    {606, "MPEG2 - MPEG2-TS HD Video(*.ts)", "mpeg2_ts.format.xml", "TS"},
    {607, "MPEG4 - MPEG4 HD Video(*.mp4)", "mpeg4_hd.format.xml", "MP4"},
    {608, "WMV - WMV HD Video(*.wmv)", "wmv_hd.format.xml", "WMV"},
    {609, "Xvid - Xvid HD Video(*.avi)", "xvid_hd.format.xml", "AVI"},
    {610, "MKV - Matroska HD Video Format(*.mkv)", "mkv_hd.format.xml", "MKV"},
    // 7, "XBox360"
    {700, "Xbox - DivX Video(*.avi)", "Xbox_divx.format.xml", "AVI"},
    {701, "Xbox - DivX HD Video(*.avi)", "Xbox_divx_hd.format.xml", "AVI"},
    {702, "Xbox - H.264 Video(*.mov)", "Xbox_h264_normal.format.xml", "MOV"},
    {703, "Xbox - H.264 HD Video(*.mov)", "Xbox_h264_hd.format.xml", "MOV"},
    {704, "Xbox - MPEG2 Video(*.mpg)", "Xbox_mpeg2_normal.format.xml", "MPG"},
    {705, "Xbox - MPEG2 PS-HD Video(*.mpg)", "Xbox_mpeg2_hd.format.xml", "MPG"},
    {706, "Xbox - MPEG2 TS-HD Video(*.mpg)", "Xbox_mpeg2_ts_hd.format.xml", "TS"},
    {707, "Xbox - MPEG4 Video(*.mov)", "Xbox_mpeg4_normal.format.xml", "MOV"},
    {708, "Xbox - MPEG4 HD Video(*.mov)", "Xbox_mpeg4_hd.format.xml", "MOV"},
    {709, "Xbox - WMV Video(*.wmv)", "Xbox_wmv_normal.format.xml", "WMV"},
    {710, "Xbox - WMV HD Video(*.wmv)", "Xbox_wmv_hd.format.xml", "WMV"},
    {711, "Xbox - Xvid Video(*.avi)", "Xbox_xvid_normal.format.xml", "AVI"},
    {712, "Xbox - Xvid HD Video(*.avi)", "Xbox_xvid_hd.format.xml", "AVI"},
    // 8, "PSP"
    {800, "PSP - H.264 Video for firmware 2.00 and above(*.mp4)", "psp_h264_mini.format.xml",
     "MP4"},
    {801, "PSP - H.264 Video(*.mp4)", "psp_h264_normal.format.xml", "MP4"},
    {802, "PSP - H.264 Video for TV(*.mp4)", "psp_h264_tv.format.xml", "MP4"},
    {803, "PSP - MPEG4 Video(*.mp4)", "psp_mpeg4.format.xml", "MP4"},
    // 9, "PS3"
    {900, "PS3 - DivX HD Video(*.avi)", "ps3_divx_hd.format.xml", "AVI"},
    {901, "PS3 - Divx Video(*.avi)", "ps3_divx_normal.format.xml", "AVI"},
    {902, "PS3 - H.264 HD Video(*.mp4)", "ps3_h264_hd.format.xml", "MP4"},
    {903, "PS3 - H.264 Video(*.mp4)", "ps3_h264_normal.format.xml", "MP4"},
    {904, "PS3 - MPEG2 PS-HD Video(*.mpg)", "ps3_mpeg2_hd.format.xml", "MPG"},
    {905, "PS3 - MPEG2 Video(*.mpg)", "ps3_mpeg2_normal.format.xml", "MPG"},
    {906, "PS3 - MPEG2 TS-HD Video(*.mpg)", "ps3_mpeg2_ts_hd.format.xml", "TS"},
    {907, "PS3 - WMV HD Video(*.wmv)", "ps3_wmv_hd.format.xml", "WMV"},
    {908, "PS3 - WMV Video(*.wmv)", "ps3_wmv_normal.format.xml", "WMV"},
    {909, "PS3 - Xvid HD Video(*.avi)", "ps3_xvid_hd.format.xml", "AVI"},
    {910, "PS3 - Xvid Video(*.avi)", "ps3_xvid_normal.format.xml", "AVI"},
    // 10, "Wii"
    {1000, "Wii - Wii AVI Video(*.avi)", "wii_avi.format.xml", "AVI"},
    {1001, "Wii - Wii MOV Video(*.mov)", "wii_mov.format.xml", "MOV"},
    // 11, "Mobile Phone"
    {1100, "BlackBerry 3GP Stereo Video(*.3gp)", "BlackBerry 3GP Video - Stereo 3gp.xml", "3GP"},
    {1101, "BlackBerry 3GP Mono Video(*.3gp)", "BlackBerry 3GP Video - Mono 3gp.xml", "3GP"},
    {1102, "BlackBerry  AVI Video(*.avi)", "BlackBerry AVI Video avi.xml", "AVI"},
    {1103, "BlackBerry Bold 9000 mp4(*.mp4)", "BlackBerry Bold 9000 mp4.xml", "MP4"},
    {1104, "BlackBerry Bold 9000 wmv(*.wmv)", "BlackBerry Bold 9000 wmv.xml", "WMV"},
    {1105, "BlackBerry Storm 9500 mp4(*.mp4)", "BlackBerry Storm 9500 mp4.xml", "MP4"},
    {1106, "BlackBerry Storm 9500 wmv(*.wmv)", "BlackBerry Storm 9500 wmv.xml", "WMV"},
    {1107, "BlackBerry Storm 9530 mp4(*.mp4)", "BlackBerry Storm 9530 mp4.xml", "MP4"},
    {1108, "BlackBerry Storm 9530 wmv(*.wmv)", "BlackBerry Storm 9530 wmv.xml", "WMV"},
    {1109, "BlackBerry Storm series mp4(*.mp4)", "BlackBerry Storm series mp4.xml", "MP4"},
    {1110, "BlackBerry Storm series wmv(*.wmv)", "BlackBerry Storm series wmv.xml", "WMV"},
    {1111, "Gphone Windows Media Video(*.wmv)", "Gphone WMV - Windows Media Video.xml", "WMV"},
    {1112, "Gphone H.263 3GP Mono Video(*.3gp)", "Gphone H.263 3GP Video - Mono.xml", "3GP"},
    {1113, "Gphone H.263 3GP Stereo Video(*.3gp)", "Gphone H.263 3GP Video - Stereo.xml", "3GP"},
    {1114, "Gphone H.264-MPEG4 AVC Video(*.mp4)", "Gphone H.264-MPEG4 AVC Video.xml", "MP4"},
    {1115, "Gphone MPEG4 Video(*.mp4)", "Gphone MPEG4 Video.xml", "MP4"},
    {1116, "LG MPEG4 Video(*.mp4)", "LG MPEG-4 Video mp4.xml", "MP4"},
    {1117, "LG 3GP Mono Video(*.3gp)", "LG 3GP Video - Mono 3gp.xml", "3GP"},
    {1118, "LG 3GP Stereo Video(*.3gp)", "LG 3GP Video - Stereo 3gp.xml", "3GP"},
    {1119, "Mobile Phone 3GPP Stereo Video(*.3g2)", "Mobile Phone 3GPP Video - Stereo 3g2.xml",
     "3G2"},
    {1120, "Mobile Phone 3GPP Mono Video(*.3g2)", "Mobile Phone 3GPP Video - Mono 3g2.xml", "3G2"},
    {1121, "Mobile Phone 3GP Stereo Video(*.3gp)", "Mobile Phone 3GP Video - Stereo 3gp.xml",
     "3GP"},
    {1122, "Mobile Phone 3GP Mono Video(*.3gp)", "Mobile Phone 3GP Video - Mono 3gp.xml", "3GP"},
    {1123, "Motorola MPEG-4 Video(*.mp4)", "Motorola MPEG-4 Video mp4.xml", "MP4"},
    {1124, "Motorola 3GP Mono Video(*.3gp)", "Motorola 3GP Video - Mono 3gp.xml", "3GP"},
    {1125, "Motorola 3GP Stereo Video(*.3gp)", "Motorola 3GP Video - Stereo 3gp.xml", "3GP"},
    {1126, "Palm Pre Video WMV(*.wmv)", "Palm Pre Video WMV.xml", "WMV"},
    {1127, "Palm Pre 3GP Mono Video(*.3gp)", "Palm Pre 3GP Video - Mono 3gp.xml", "3GP"},
    {1128, "Palm Pre 3GP Stereo Video(*.3gp)", "Palm Pre 3GP Video - Stereo 3gp.xml", "3GP"},
    {1129, "Palm Pre Video MPEG-4(*.mp4)", "Palm Pre Video MPEG-4.xml", "MP4"},
    {1130, "Samsung MPEG-4 Video(*.mp4)", "Samsung MPEG-4 Video mp4.xml", "MP4"},
    {1131, "Samsung 3GP Mono Video(*.3gp)", "Samsung 3GP Video - Mono 3gp.xml", "3GP"},
    {1132, "Samsung 3GP Stereo Video(*.mp4)", "Samsung 3GP Video - Stereo 3gp.xml", "3GP"},
    {1133, "Sony XPERIA X1i-X1c MPEG-4 Video(*.mp4)", "Sony XPERIA X1a MPEG-4 Video.xml", "MP4"},
    {1134, "Sony Ericsson 3GP Mono Video(*.3gp)", "Sony Ericsson 3GP Video - Mono 3gp.xml", "3GP"},
    {1135, "Sony Ericsson 3GP Stereo Video(*.3gp)", "Sony Ericsson 3GP Video - Stereo 3gp.xml",
     "3GP"},
    {1136, "Sony Ericsson MPEG-4 Video(*.mp4)", "Sony Ericsson MPEG-4 Video mp4.xml", "MP4"},
    {1137, "Sony XPERIA X1a MPEG-4 Video(*.mp4)", "Sony XPERIA X1a MPEG-4 Video.xml", "MP4"},
    // 12, "Android"
    {1200, "Android - MPEG Video(*.mp4)", "Android - MPEG Video.xml", "MP4"},
    {1201, "Android(320x240) - H.264 Video(*.mp4)", "Android(320x240) - H.264 Video.xml", "MP4"},
    {1202, "Android(480x320) - H.264 Video(*.mp4)", "Android(480x320) - H.264 Video.xml", "MP4"},
    {1203, "Android(800x480) - H.264 Video(*.mp4)", "Android(800x480) - H.264 Video.xml", "MP4"},
    {1204, "Android(854x480) - H.264 Video(*.mp4)", "Android(854x480) - H.264 Video.xml", "MP4"},
    {1205, "HTC G2 Magic - MPEG Video(*.mp4)", "HTC G2 Magic - MPEG Video.xml", "MP4"},
    {1206, "HTC Hero - MPEG Video(*.mp4)", "HTC Hero - MPEG Video.xml", "MP4"},
    {1207, "HTC Tattoo - MPEG Video(*.mp4)", "HTC Tattoo - MPEG Video.xml", "MP4"},
    {1208, "Motorola CLIQ - MPEG Video(*.mp4)", "Motorola CLIQ - MPEG Video.xml", "MP4"},
    {1209, "Motorola Droid - MPEG Video(*.mp4)", "Motorola Droid - MPEG Video.xml", "MP4"},
    {1210, "Nexus One - MPEG Video(*.mp4)", "Nexus One - MPEG Video.xml", "MP4"},
    {1211, "SamSung i7500 - MPEG Video(*.mp4)", "SamSung i7500 - MPEG Video.xml", "MP4"},
    // 13, "Android Pad"
    {1300, "Motorola Xoom - H.264 Video(*.mp4)", "Motorola Xoom - H.264 Video.xml", "MP4"},
    {1301, "Motorola Xoom - MPEG Video(*.mp4)", "Motorola Xoom - MPEG Video.xml", "MP4"},
    {1302, "Samsung P1000 - H.264 Video(*.mp4)", "Samsung P1000 - H.264 Video.xml", "MP4"},
    {1303, "Samsung P1000 - MPEG Video(*.mp4)", "Samsung P1000 - MPEG Video.xml", "MP4"},
    // 14, "Windows Phone"
    {1400, "Windows Phone 7 - H.264 Video(*.mp4)", "Windows Phone 7 - H.264 Video.xml", "MP4"},
    {1401, "Windows Phone 7 - MPEG Video(*.mp4)", "Windows Phone 7 - MPEG Video.xml", "MP4"},
    {1402, "Windows Phone 7 - WMV Video(*.mp4)", "Windows Phone 7 - WMV Video.xml", "MP4"},
};

QVector<ProfileEntry> makeEntries() {
    QVector<ProfileEntry> entries;
    for (const ProfileRow &row : kProfiles) {
        ProfileEntry entry;
        entry.key = row.key;
        entry.categoryIndex = row.key / ProfileCatalogue::kKeyFactor;
        entry.categoryText = QString::fromUtf8(kCategories[entry.categoryIndex].text);
        entry.detailIndex = row.key % ProfileCatalogue::kKeyFactor;
        entry.description = QString::fromUtf8(row.description);
        entry.fileName = QString::fromUtf8(row.fileName);
        entry.formatLabel = QString::fromUtf8(row.formatLabel);
        entries << entry;
    }
    return entries;
}

bool validCategory(int categoryIndex) {
    return categoryIndex >= 0 && categoryIndex < ProfileCatalogue::kCategoryCount;
}

} // namespace

DeviceCategoryList ProfileCatalogue::deviceCategoryList() {
    DeviceCategoryList list;
    for (const CategoryRow &row : kCategories)
        list << QString::fromUtf8(row.text);
    return list;
}

int ProfileCatalogue::categoryIndex(const QString &text) {
    for (int i = 0; i < kCategoryCount; ++i) {
        if (text == QLatin1String(kCategories[i].text))
            return i;
    }
    return -1;
}

bool ProfileCatalogue::isAudioOnly(int categoryIndex) {
    return categoryIndex == kAudioOnlyCategory;
}

int ProfileCatalogue::profileCount(int categoryIndex) {
    int count = 0;
    for (const ProfileEntry &entry : entries()) {
        if (entry.categoryIndex == categoryIndex)
            ++count;
    }
    return count;
}

QStringList ProfileCatalogue::descriptions(int categoryIndex) {
    QStringList list;
    for (const ProfileEntry &entry : entries()) {
        if (entry.categoryIndex == categoryIndex)
            list << entry.description;
    }
    return list;
}

const QVector<ProfileEntry> &ProfileCatalogue::entries() {
    static const QVector<ProfileEntry> table = makeEntries();
    return table;
}

std::optional<ProfileEntry> ProfileCatalogue::entry(int key) {
    if (key < 0)
        return std::nullopt;
    for (const ProfileEntry &entry : entries()) {
        if (entry.key == key)
            return entry;
    }
    return std::nullopt;
}

std::optional<ProfileEntry> ProfileCatalogue::entry(int categoryIndex, int detailIndex) {
    // A detail index of -1 or 100 must not reach into a neighbouring category.
    if (!validCategory(categoryIndex) || detailIndex < 0 || detailIndex >= kKeyFactor)
        return std::nullopt;
    return entry(key(categoryIndex, detailIndex));
}

int ProfileCatalogue::key(int categoryIndex, int detailIndex) {
    return categoryIndex * kKeyFactor + detailIndex;
}

QString ProfileCatalogue::devicePicture(int categoryIndex, int detailIndex) {
    if (!validCategory(categoryIndex))
        return QString::fromLatin1(kDefaultPicture);
    if (categoryIndex == kIpodCategory) {
        if (detailIndex >= kFirstIpodTouch)
            return QString::fromLatin1(kIpodTouchPicture);
        if (detailIndex >= kFirstIpodNano)
            return QString::fromLatin1(kIpodNanoPicture);
    }
    return QString::fromLatin1(kCategories[categoryIndex].picture);
}

QStringList ProfileCatalogue::devicePictures() {
    QStringList pictures;
    for (const CategoryRow &row : kCategories) {
        const QString picture = QString::fromLatin1(row.picture);
        if (!pictures.contains(picture))
            pictures << picture;
    }
    pictures << QString::fromLatin1(kIpodNanoPicture) << QString::fromLatin1(kIpodTouchPicture);
    return pictures;
}

QString ProfileCatalogue::extension(const QString &formatLabel) {
    return formatLabel.toLower();
}
