// Draws every picture of the installation folder: the skin under
// "skins/default/" and the device pictures under "images/". The output depends
// on nothing but this code, so that two builds give identical files.
//
//   quillora_skingen <installation folder>
//   quillora_skingen --icons <folder>     the program's embedded action icons

#include <cstdio>
#include <functional>
#include <vector>

#include <QColor>
#include <QImage>
#include <QString>

#include "canvas.h"
#include "pictures.h"

using pictures::State;

namespace {

struct Picture {
    QString path;
    std::function<QImage()> draw;
};

struct StateSuffix {
    State state;
    const char *suffix;
};

// Hover, pressed and disabled looks sit beside the normal picture under the
// suffixes "_h", "_p" and "_d", as the combo box and check box pictures do.
const StateSuffix kStates[] = {
    {State::Normal, ""},
    {State::Hover, "_h"},
    {State::Pressed, "_p"},
    {State::Disabled, "_d"},
};

const QColor kGreen("#2e9e5b");
const QColor kRed("#cc4b4b");
const QColor kBlue("#2f80c7");
const QColor kAmber("#e08a1a");
const QColor kSlate("#51606f");

void addStates(std::vector<Picture> &list, const QString &base,
               const std::function<QImage(State)> &draw) {
    for (const StateSuffix &s : kStates) {
        const State state = s.state;
        list.push_back({base + QLatin1String(s.suffix) + QLatin1String(".png"),
                        [draw, state] { return draw(state); }});
    }
}

std::vector<Picture> skinPictures() {
    using namespace pictures;
    const QString d = QStringLiteral("skins/default/");
    std::vector<Picture> list = {
        {d + "background.png", [] { return mainBackground(); }},
        {d + "loading.png",
         [] {
             return splash({415, 260});
         }},
        {d + "register.png",
         [] {
             return aboutBox({400, 287});
         }},
        {d + "config.png",
         [] {
             return dialog({541, 411});
         }},
        {d + "tixe.png",
         [] {
             return dialog({280, 150});
         }},
        {d + "Progress.png",
         [] {
             return dialog({400, 150});
         }},
        {d + "errorBackground.png",
         [] {
             return dialog({500, 300});
         }},
        {d + "videoinfo.png",
         [] {
             return dialog({400, 330});
         }},
        {d + "settingsback.png",
         [] {
             return dialog({490, 270});
         }},
        {d + "filelist_empty.png",
         [] {
             return emptyListCover({517, 320});
         }},
        {d + "tixe_atten.png",
         [] {
             return attentionSign({32, 28});
         }},
        {d + "status_finished.png",
         [] {
             return statusSign({16, 16}, kGreen, Glyph::Check);
         }},
        {d + "status_err.png",
         [] {
             return statusSign({16, 16}, kRed, Glyph::Close);
         }},
        {d + "status_stoped.png",
         [] {
             return statusSign({16, 16}, kAmber, Glyph::Stop);
         }},
        {d + "convert1.bmp",
         [] {
             return convertBanner({120, 55}, State::Normal);
         }},
        {d + "convert2.bmp",
         [] {
             return convertBanner({120, 55}, State::Hover);
         }},
        {d + "convert3.bmp",
         [] {
             return convertBanner({120, 55}, State::Pressed);
         }},
        {d + "checkbox_indeterminate.png",
         [] {
             return checkBox({13, 13}, Qt::PartiallyChecked, State::Normal);
         }},
        {d + "checkbox_indeterminate_d.png",
         [] {
             return checkBox({13, 13}, Qt::PartiallyChecked, State::Disabled);
         }},
        {d + "combobox.png",
         [] {
             return comboFrame({60, 22}, State::Normal);
         }},
        {d + "combobox_h.png",
         [] {
             return comboFrame({60, 22}, State::Hover);
         }},
        {d + "combobox_p.png",
         [] {
             return comboFrame({60, 22}, State::Pressed);
         }},
        {d + "combobox_d.png",
         [] {
             return comboFrame({60, 22}, State::Disabled);
         }},
        {d + "combo_hover_c.png",
         [] {
             return comboFrame({60, 22}, State::Hover);
         }},
        {d + "combo_pressed_c.png",
         [] {
             return comboFrame({60, 22}, State::Pressed);
         }},
        {d + "combo_disabled_c.png",
         [] {
             return comboFrame({60, 22}, State::Disabled);
         }},
        {d + "combobox_arrow.png",
         [] {
             return comboArrow({11, 7}, QColor("#44525f"));
         }},
        {d + "combobox_arrow_c.png",
         [] {
             return comboArrow({11, 7}, QColor("#44525f"));
         }},
        {d + "combobox_arrow_h.png",
         [] {
             return comboArrow({11, 7}, kBlue);
         }},
        {d + "combobox_arrow_p.png",
         [] {
             return comboArrow({11, 7}, QColor("#1d5a93"));
         }},
        {d + "combobox_arrow_d.png",
         [] {
             return comboArrow({11, 7}, QColor("#b3bcc6"));
         }},
    };

    addStates(list, d + "checkbox_unchecked", [](State s) {
        return checkBox({13, 13}, Qt::Unchecked, s);
    });
    addStates(list, d + "checkbox_checked", [](State s) {
        return checkBox({13, 13}, Qt::Checked, s);
    });
    addStates(list, d + "button", [](State s) { return plainButton({24, 24}, s); });

    struct Tool {
        const char *name;
        Glyph glyph;
        QColor colour;
    };
    const Tool tools[] = {
        {"tool_add", Glyph::Plus, kGreen},
        {"tool_remove", Glyph::Minus, kRed},
        {"tool_clear", Glyph::Trash, kSlate},
        {"tool_edit", Glyph::Pencil, kBlue},
        {"tool_trim", Glyph::Scissors, QColor("#7b5bb5")},
        {"tool_effect", Glyph::Sparkle, kAmber},
    };
    for (const Tool &t : tools)
        addStates(list, d + t.name, [t](State s) {
            return toolbarButton({48, 48}, t.glyph, t.colour, s);
        });

    const Tool runs[] = {
        {"run_convert", Glyph::Play, kGreen},
        {"run_resume", Glyph::Play, kAmber},
        {"run_pause", Glyph::Pause, kBlue},
        {"run_stop", Glyph::Stop, kRed},
    };
    for (const Tool &t : runs)
        addStates(list, d + t.name, [t](State s) {
            return roundButton({53, 53}, t.glyph, t.colour, s);
        });

    struct Control {
        const char *name;
        Glyph glyph;
        QSize size;
    };
    const Control controls[] = {
        {"player_play", Glyph::Play, {44, 31}},
        {"player_pause", Glyph::Pause, {44, 31}},
        {"player_stop", Glyph::Stop, {36, 31}},
        {"player_previous", Glyph::Previous, {36, 31}},
        {"player_next", Glyph::Next, {43, 31}},
        {"player_snapshot", Glyph::Camera, {32, 27}},
        {"player_snapshot_menu", Glyph::SmallDown, {11, 27}},
        {"player_mute", Glyph::Speaker, {22, 22}},
        {"player_unmute", Glyph::SpeakerMuted, {22, 22}},
    };
    for (const Control &c : controls)
        addStates(list, d + c.name,
                  [c](State s) { return pictures::playerButton(c.size, c.glyph, s); });

    addStates(list, d + "title_menu", [](State s) {
        return titleButton({19, 19}, Glyph::Menu, false, s);
    });
    addStates(list, d + "title_min", [](State s) {
        return titleButton({19, 19}, Glyph::Minimise, false, s);
    });
    addStates(list, d + "title_close", [](State s) {
        return titleButton({19, 19}, Glyph::Close, true, s);
    });

    struct Labelled {
        const char *name;
        Glyph glyph;
        QColor colour;
        QSize size;
    };
    const Labelled labelled[] = {
        {"button_advance", Glyph::Gear, kSlate, {77, 23}},
        {"button_open", Glyph::Folder, kAmber, {77, 23}},
        {"button_moveup", Glyph::ArrowUp, kBlue, {82, 25}},
        {"button_movedown", Glyph::ArrowDown, kBlue, {82, 25}},
    };
    for (const Labelled &l : labelled)
        addStates(list, d + l.name,
                  [l](State s) { return labelledButton(l.size, l.glyph, l.colour, s); });
    return list;
}

std::vector<Picture> devicePictures() {
    using pictures::Device;
    const QSize size(90, 90);
    // File names as the profile choice asks for them; case matters.
    const std::pair<const char *, Device> devices[] = {
        {"default.png", Device::Video},
        {"audio.png", Device::Audio},
        {"Apple_Ipad.PNG", Device::Tablet},
        {"Apple_IPhone.png", Device::Phone},
        {"Apple_IPod_classic.png", Device::PlayerClassic},
        {"Apple_IPod_Nano.png", Device::PlayerNano},
        {"Apple_IPod_touch.png", Device::PlayerTouch},
        {"macpro.PNG", Device::SetTopBox},
        {"xbox.png", Device::ConsoleBox},
        {"PSP_SonyPSP.png", Device::Handheld},
        {"PS3.PNG", Device::ConsoleSlim},
        {"wii.png", Device::ConsoleMotion},
        {"Mobile Phone.png", Device::FeaturePhone},
        {"Android.png", Device::Smartphone},
        {"Android Pad.png", Device::SmartTablet},
        {"windows phone.png", Device::TilePhone},
    };
    std::vector<Picture> list;
    for (const auto &[name, kind] : devices) {
        const Device k = kind;
        list.push_back({QStringLiteral("images/") + QLatin1String(name),
                        [size, k] { return pictures::device(size, k); }});
    }
    return list;
}

std::vector<Picture> actionIcons() {
    using pictures::actionIcon;
    const QSize size(32, 32);
    return {
        {"btn_commandbar_join_p.png", [size] { return actionIcon(size, Glyph::Plus, kGreen); }},
        {"exit.png", [size] { return actionIcon(size, Glyph::Power, kSlate); }},
        {"del.png", [size] { return actionIcon(size, Glyph::Minus, kRed); }},
    };
}

int writeAll(const std::vector<Picture> &list, const QString &folder) {
    for (const Picture &picture : list) {
        const QString path = folder + QLatin1Char('/') + picture.path;
        if (!canvas::save(picture.draw(), path)) {
            std::fprintf(stderr, "quillora_skingen: cannot write %s\n", qPrintable(path));
            return 1;
        }
    }
    return 0;
}

} // namespace

int main(int argc, char **argv) {
    if (argc == 3 && QLatin1String(argv[1]) == QLatin1String("--icons"))
        return writeAll(actionIcons(), QString::fromLocal8Bit(argv[2]));
    if (argc != 2) {
        std::fprintf(stderr, "usage: quillora_skingen <installation folder>\n"
                             "       quillora_skingen --icons <folder>\n");
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    std::vector<Picture> all = skinPictures();
    for (Picture &p : devicePictures())
        all.push_back(std::move(p));
    return writeAll(all, folder);
}
