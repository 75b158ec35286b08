#pragma once
// The pictures of the Gold skin: every file the two windows load from
// <program folder>/Skins/Gold/<group>/<file>, with the size it is drawn at,
// the glyph it shows and the state it stands for.
#include <span>

namespace skingen {

// What a picture shows. Frame pieces are cut from the drawn window frame.
enum class Glyph {
  Frame,
  SizeGrip,
  // window and navigation
  Close,
  Minimize,
  Back,
  Forward,
  Refresh,
  Stop,
  Print,
  SidePanel,
  Home,
  Find,
  Globe,
  GoArrow,
  Restore,
  LockClosed,
  LockOpen,
  Tick,
  Leaf,
  // favorites, history, mail
  StarPlus,
  StarMinus,
  Export,
  ClearHistory,
  Mail,
  MailOne,
  MailTwo,
  MailThree,
  MailPage,
  MailLink,
  // quick links: kinds of sites
  SearchPortal,
  Tiles,
  Video,
  Photos,
  Rss,
  People,
  Network,
  Bubble,
  Compass,
  Pen,
  Book,
  // tools window tabs
  ParsePage,
  Broom,
  Funnel,
  Clock,
  Pulse,
  Save,
  Pencil,
  Eye,
  Link,
  Radio,
  Picture,
  ReloadSource,
  ShowPage,
  Trash,
  AddFile,
  Camera,
  DocSource,
};

// The state a picture stands for. Bitmap buttons have Normal, Hover and
// Pressed ("_A", "_B", "_C"); PNG buttons Normal and Hover ("A", "B"), or
// Normal and Active for switches whose "B" picture shows that they are on.
// Single pictures never change.
enum class Look { Single, Normal, Hover, Pressed, Active };

struct SkinPicture {
  const char* group;  // folder under Skins/Gold, "/"-separated
  const char* file;   // file name, case as the windows ask for it
  int width;
  int height;
  Glyph glyph;
  Look look;
  int frameX = 0;  // frame pieces: where the piece sits in an 800 x 600 window
  int frameY = 0;
};

std::span<const SkinPicture> skinPictures();

// The main window's outline at 800 x 600: the 14 corners of its region.
inline constexpr int kOutline[14][2] = {{0, 26},    {26, 0},    {766, 0},   {790, 25},  {790, 356},
                                        {799, 366}, {799, 554}, {756, 598}, {447, 598}, {397, 548},
                                        {23, 549},  {10, 535},  {10, 169},  {0, 159}};

}  // namespace skingen
