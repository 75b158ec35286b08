#include "SkinTable.h"

namespace skingen {
namespace {

using G = Glyph;
using L = Look;

// Sizes follow the places the pictures sit in: the top frame is 33 pixels
// high, the bottom frame 66, the left frame 20 wide and the right one 21; the
// address bar is 26 high; the tools window's top bar is 24 high and its bottom
// bar 26; the tab panels are about 60 high and hold 48 x 48 buttons.
constexpr SkinPicture kPictures[] = {
    // Main window: the frame, cut from the drawn 800 x 600 window.
    {"Buttons/Window", "TopLeft.bmp", 40, 33, G::Frame, L::Single, 0, 0},
    {"Buttons/Window", "TopBorder.bmp", 8, 33, G::Frame, L::Single, 400, 0},
    {"Buttons/Window", "TopRight.bmp", 40, 33, G::Frame, L::Single, 760, 0},
    {"Buttons/Window", "LeftTop.bmp", 20, 140, G::Frame, L::Single, 0, 33},
    {"Buttons/Window", "LeftBorder.bmp", 20, 8, G::Frame, L::Single, 0, 300},
    {"Buttons/Window", "LeftBottom.bmp", 20, 30, G::Frame, L::Single, 0, 504},
    {"Buttons/Window", "RightTop.bmp", 21, 30, G::Frame, L::Single, 779, 33},
    {"Buttons/Window", "RightBorder.bmp", 21, 8, G::Frame, L::Single, 779, 200},
    {"Buttons/Window", "RightBottom.bmp", 21, 190, G::Frame, L::Single, 779, 344},
    {"Buttons/Window", "BottomLeft.bmp", 40, 66, G::Frame, L::Single, 0, 534},
    {"Buttons/Window", "BottomBorder.bmp", 8, 66, G::Frame, L::Single, 200, 534},
    {"Buttons/Window", "BottomRightA.bmp", 410, 66, G::Frame, L::Single, 390, 534},
    {"Buttons/Window", "BottomRightB.bmp", 20, 20, G::SizeGrip, L::Single, 779, 534},

    // Main window: bitmap buttons of the top and bottom frames.
    {"Buttons/Window", "Close001_A.bmp", 24, 24, G::Close, L::Normal},
    {"Buttons/Window", "Close001_B.bmp", 24, 24, G::Close, L::Hover},
    {"Buttons/Window", "Close001_C.bmp", 24, 24, G::Close, L::Pressed},
    {"Buttons/Window", "Minimize001_A.bmp", 24, 24, G::Minimize, L::Normal},
    {"Buttons/Window", "Minimize001_B.bmp", 24, 24, G::Minimize, L::Hover},
    {"Buttons/Window", "Minimize001_C.bmp", 24, 24, G::Minimize, L::Pressed},
    {"Buttons/Navigate", "NextPage001_A.bmp", 44, 44, G::Forward, L::Normal},
    {"Buttons/Navigate", "NextPage001_B.bmp", 44, 44, G::Forward, L::Hover},
    {"Buttons/Navigate", "NextPage001_C.bmp", 44, 44, G::Forward, L::Pressed},
    {"Buttons/Navigate", "PreviousPage001_A.bmp", 44, 44, G::Back, L::Normal},
    {"Buttons/Navigate", "PreviousPage001_B.bmp", 44, 44, G::Back, L::Hover},
    {"Buttons/Navigate", "PreviousPage001_C.bmp", 44, 44, G::Back, L::Pressed},
    {"Buttons/Navigate", "RefreshPage001_A.bmp", 44, 44, G::Refresh, L::Normal},
    {"Buttons/Navigate", "RefreshPage001_B.bmp", 44, 44, G::Refresh, L::Hover},
    {"Buttons/Navigate", "RefreshPage001_C.bmp", 44, 44, G::Refresh, L::Pressed},
    {"Buttons/Navigate", "Stop001_A.bmp", 44, 44, G::Stop, L::Normal},
    {"Buttons/Navigate", "Stop001_B.bmp", 44, 44, G::Stop, L::Hover},
    {"Buttons/Navigate", "Stop001_C.bmp", 44, 44, G::Stop, L::Pressed},
    {"Buttons/Navigate", "PrintPage001_A.bmp", 44, 44, G::Print, L::Normal},
    {"Buttons/Navigate", "PrintPage001_B.bmp", 44, 44, G::Print, L::Hover},
    {"Buttons/Navigate", "PrintPage001_C.bmp", 44, 44, G::Print, L::Pressed},
    {"Buttons/Navigate", "Check001_A.bmp", 44, 44, G::SidePanel, L::Normal},
    {"Buttons/Navigate", "Check001_B.bmp", 44, 44, G::SidePanel, L::Hover},
    {"Buttons/Navigate", "Check001_C.bmp", 44, 44, G::SidePanel, L::Pressed},

    // Main window: address bar and side panel.
    {"System", "Go.PNG", 22, 22, G::Globe, L::Single},
    {"System", "ECOMode.PNG", 22, 22, G::Leaf, L::Single},
    {"System", "SSL.PNG", 20, 20, G::LockClosed, L::Single},
    {"System", "Unlock.PNG", 20, 20, G::LockOpen, L::Single},
    {"System", "Applay.PNG", 22, 22, G::Tick, L::Single},
    {"System", "Source.PNG", 32, 32, G::DocSource, L::Single},
    {"System", "HB001A.PNG", 32, 32, G::Home, L::Normal},
    {"System", "HB001B.PNG", 32, 32, G::Home, L::Hover},
    {"System", "SB001A.PNG", 32, 32, G::Find, L::Normal},
    {"System", "SB001B.PNG", 32, 32, G::Find, L::Hover},
    {"System", "WM001A.PNG", 32, 32, G::Mail, L::Normal},
    {"System", "WM001B.PNG", 32, 32, G::Mail, L::Hover},
    {"FavoritesList", "FL001A.PNG", 32, 32, G::StarPlus, L::Normal},
    {"FavoritesList", "FL001B.PNG", 32, 32, G::StarPlus, L::Hover},
    {"FavoritesList", "FL002A.PNG", 32, 32, G::StarMinus, L::Normal},
    {"FavoritesList", "FL002B.PNG", 32, 32, G::StarMinus, L::Hover},
    {"FavoritesList", "FL003A.PNG", 32, 32, G::Export, L::Normal},
    {"FavoritesList", "FL003B.PNG", 32, 32, G::Export, L::Hover},
    {"History", "DH001A.PNG", 32, 32, G::ClearHistory, L::Normal},
    {"History", "DH001B.PNG", 32, 32, G::ClearHistory, L::Hover},

    // Main window: the twelve quick links, by the kind of site they lead to.
    {"FavoriteNet", "N001A.PNG", 48, 48, G::SearchPortal, L::Normal},
    {"FavoriteNet", "N001B.PNG", 48, 48, G::SearchPortal, L::Hover},
    {"FavoriteNet", "N002A.PNG", 48, 48, G::Find, L::Normal},
    {"FavoriteNet", "N002B.PNG", 48, 48, G::Find, L::Hover},
    {"FavoriteNet", "N003A.PNG", 48, 48, G::Tiles, L::Normal},
    {"FavoriteNet", "N003B.PNG", 48, 48, G::Tiles, L::Hover},
    {"FavoriteNet", "N004A.PNG", 48, 48, G::Video, L::Normal},
    {"FavoriteNet", "N004B.PNG", 48, 48, G::Video, L::Hover},
    {"FavoriteNet", "N005A.PNG", 48, 48, G::Photos, L::Normal},
    {"FavoriteNet", "N005B.PNG", 48, 48, G::Photos, L::Hover},
    {"FavoriteNet", "N006A.PNG", 48, 48, G::Rss, L::Normal},
    {"FavoriteNet", "N006B.PNG", 48, 48, G::Rss, L::Hover},
    {"FavoriteNet", "N007A.PNG", 48, 48, G::People, L::Normal},
    {"FavoriteNet", "N007B.PNG", 48, 48, G::People, L::Hover},
    {"FavoriteNet", "N008A.PNG", 48, 48, G::Network, L::Normal},
    {"FavoriteNet", "N008B.PNG", 48, 48, G::Network, L::Hover},
    {"FavoriteNet", "N009A.PNG", 48, 48, G::Bubble, L::Normal},
    {"FavoriteNet", "N009B.PNG", 48, 48, G::Bubble, L::Hover},
    {"FavoriteNet", "N010A.PNG", 48, 48, G::Compass, L::Normal},
    {"FavoriteNet", "N010B.PNG", 48, 48, G::Compass, L::Hover},
    {"FavoriteNet", "N011A.PNG", 48, 48, G::Pen, L::Normal},
    {"FavoriteNet", "N011B.PNG", 48, 48, G::Pen, L::Hover},
    {"FavoriteNet", "N012A.PNG", 48, 48, G::Book, L::Normal},
    {"FavoriteNet", "N012B.PNG", 48, 48, G::Book, L::Hover},

    // Main window: web mail and the send buttons.
    {"WebMail", "WM001A.PNG", 48, 48, G::MailOne, L::Normal},
    {"WebMail", "WM001B.PNG", 48, 48, G::MailOne, L::Hover},
    {"WebMail", "WM002A.PNG", 48, 48, G::MailTwo, L::Normal},
    {"WebMail", "WM002B.PNG", 48, 48, G::MailTwo, L::Hover},
    {"WebMail", "WM003A.PNG", 48, 48, G::MailThree, L::Normal},
    {"WebMail", "WM003B.PNG", 48, 48, G::MailThree, L::Hover},
    {"WebMail", "AttachWeb.PNG", 32, 32, G::MailPage, L::Single},
    {"WebMail", "AttachURL.PNG", 32, 32, G::MailLink, L::Single},

    // Tools window: bottom bar (26 high) and top bar (24 high).
    {"ECOMode", "EM001A.PNG", 22, 22, G::SidePanel, L::Normal},
    {"ECOMode", "EM001B.PNG", 22, 22, G::SidePanel, L::Hover},
    {"ECOMode", "EM002A.PNG", 22, 22, G::Home, L::Normal},
    {"ECOMode", "EM002B.PNG", 22, 22, G::Home, L::Hover},
    {"ECOMode", "EM003A.PNG", 22, 22, G::Find, L::Normal},
    {"ECOMode", "EM003B.PNG", 22, 22, G::Find, L::Hover},
    {"ECOMode", "EM004A.PNG", 22, 22, G::Print, L::Normal},
    {"ECOMode", "EM004B.PNG", 22, 22, G::Print, L::Hover},
    {"ECOMode", "EM005A.PNG", 22, 22, G::Restore, L::Normal},
    {"ECOMode", "EM005B.PNG", 22, 22, G::Restore, L::Hover},
    {"ECOMode", "EM006A.PNG", 22, 22, G::Stop, L::Normal},
    {"ECOMode", "EM006B.PNG", 22, 22, G::Stop, L::Hover},
    {"ECOMode", "EM007A.PNG", 22, 22, G::Refresh, L::Normal},
    {"ECOMode", "EM007B.PNG", 22, 22, G::Refresh, L::Hover},
    {"ECOMode", "EM008A.PNG", 22, 22, G::Back, L::Normal},
    {"ECOMode", "EM008B.PNG", 22, 22, G::Back, L::Hover},
    {"ECOMode", "EM009A.PNG", 22, 22, G::Forward, L::Normal},
    {"ECOMode", "EM009B.PNG", 22, 22, G::Forward, L::Hover},
    {"ECOMode", "EM010A.PNG", 20, 20, G::Close, L::Normal},
    {"ECOMode", "EM010B.PNG", 20, 20, G::Close, L::Hover},
    {"ECOMode", "EM011A.PNG", 20, 20, G::Minimize, L::Normal},
    {"ECOMode", "EM011B.PNG", 20, 20, G::Minimize, L::Hover},
    {"ECOMode", "EM013A.PNG", 20, 20, G::GoArrow, L::Normal},
    {"ECOMode", "EM013B.PNG", 20, 20, G::GoArrow, L::Hover},
    {"ECOMode", "EM014A.PNG", 20, 20, G::Globe, L::Normal},
    {"ECOMode", "EM014B.PNG", 20, 20, G::Globe, L::Hover},

    // Tools window: parse tab; P001 starts a parse, P003 clears the report.
    {"Parse", "P001A.PNG", 48, 48, G::ParsePage, L::Normal},
    {"Parse", "P001B.PNG", 48, 48, G::ParsePage, L::Hover},
    {"Parse", "P002A.PNG", 48, 48, G::Print, L::Normal},
    {"Parse", "P002B.PNG", 48, 48, G::Print, L::Hover},
    {"Parse", "P003A.PNG", 48, 48, G::Broom, L::Normal},
    {"Parse", "P003B.PNG", 48, 48, G::Broom, L::Hover},

    // Tools window: the default-filter and time-control switches of the
    // parse and events tabs ("B" while the switch is on).
    {"Controls", "C001A.PNG", 24, 24, G::Funnel, L::Normal},
    {"Controls", "C001B.PNG", 24, 24, G::Funnel, L::Active},
    {"Controls", "C002A.PNG", 24, 24, G::Clock, L::Normal},
    {"Controls", "C002B.PNG", 24, 24, G::Clock, L::Active},

    // Tools window: events tab; E001 is on ("B") while the analysis runs.
    {"Events", "E001A.PNG", 48, 48, G::Pulse, L::Normal},
    {"Events", "E001B.PNG", 48, 48, G::Pulse, L::Active},
    {"Events", "E002A.PNG", 48, 48, G::Save, L::Normal},
    {"Events", "E002B.PNG", 48, 48, G::Save, L::Hover},
    {"Events", "E003A.PNG", 48, 48, G::Print, L::Normal},
    {"Events", "E003B.PNG", 48, 48, G::Print, L::Hover},

    // Tools window: edit tab; D001 offers editing ("A") or, while the page
    // is edited, the preview ("B").
    {"Design", "D001A.PNG", 48, 48, G::Pencil, L::Normal},
    {"Design", "D001B.PNG", 48, 48, G::Eye, L::Active},
    {"Design", "D002A.PNG", 48, 48, G::Print, L::Normal},
    {"Design", "D002B.PNG", 48, 48, G::Print, L::Hover},
    {"Design", "D003A.PNG", 48, 48, G::Link, L::Normal},
    {"Design", "D003B.PNG", 48, 48, G::Link, L::Hover},
    {"Design", "D004A.PNG", 48, 48, G::Radio, L::Normal},
    {"Design", "D004B.PNG", 48, 48, G::Radio, L::Hover},
    {"Design", "D005A.PNG", 48, 48, G::Picture, L::Normal},
    {"Design", "D005B.PNG", 48, 48, G::Picture, L::Hover},
    {"Design", "D006A.PNG", 48, 48, G::ReloadSource, L::Normal},
    {"Design", "D006B.PNG", 48, 48, G::ReloadSource, L::Hover},
    {"Design", "D007A.PNG", 48, 48, G::ShowPage, L::Normal},
    {"Design", "D007B.PNG", 48, 48, G::ShowPage, L::Hover},

    // Tools window: cache tab (delete entry, add file, clear cache).
    {"Cache", "C001A.PNG", 48, 48, G::Trash, L::Normal},
    {"Cache", "C001B.PNG", 48, 48, G::Trash, L::Hover},
    {"Cache", "C002A.PNG", 48, 48, G::AddFile, L::Normal},
    {"Cache", "C002B.PNG", 48, 48, G::AddFile, L::Hover},
    {"Cache", "C003A.PNG", 48, 48, G::Broom, L::Normal},
    {"Cache", "C003B.PNG", 48, 48, G::Broom, L::Hover},

    // Tools window: capture tab (capture, save the shown picture).
    {"Capture", "C001A.PNG", 48, 48, G::Camera, L::Normal},
    {"Capture", "C001B.PNG", 48, 48, G::Camera, L::Hover},
    {"Capture", "C002A.PNG", 48, 48, G::Save, L::Normal},
    {"Capture", "C002B.PNG", 48, 48, G::Save, L::Hover},
};

}  // namespace

std::span<const SkinPicture> skinPictures() { return kPictures; }

}  // namespace skingen
