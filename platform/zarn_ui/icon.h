#pragma once
// Vector icons, drawn with the painter so they stay sharp at every scale.

#include "zarn_ui/geometry.h"

namespace zarn_ui {

class Painter;

enum class IconKind {
  Compose,
  ChevronLeft, ChevronRight, ChevronUp, ChevronDown,
  Inbox, Starred, Sent, Drafts, Archive, Trash, Junk, Folder,
  Account, Search, Star, StarFilled, Attachment, Check, Reply, ReplyAll, Forward,
  MarkUnread, MarkRead, Preview, Notice, Close, Menu, Refresh,
  FilePdf, FileImage, FileCalendar, FileText, FileArchive, FileGeneric,
  Download, Save, Image, BlockedContent,
};

struct Icon {
  // Draws `kind` centred in `box` (the glyph uses the box's smaller side).
  static void draw(Painter& painter, IconKind kind, const Rect& box, Color color);
};

}  // namespace zarn_ui
