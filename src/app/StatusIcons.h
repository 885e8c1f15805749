// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QColor>
#include <QIcon>
#include <QImage>
#include <string>
#include <vector>

namespace voxlane::StatusIcons {

// The tray icon: three small faders, drawn from an 18 × 16 design into square images of the
// sizes tray hosts ask for, in `color`.
QIcon menuBarIcon(const QColor& color);
// One image of the three faders at `size` pixels (square), for tests and the icon above.
QImage menuBarImage(int size, const QColor& color);
// `image` with a faint rim of the opposite brightness round its shapes, as the tray icons have.
QImage haloed(const QImage& image, const QColor& color);
// The tray icon while every microphone is muted: the theme's muted-microphone icon when it has
// one, else our own "microphone-sensitivity-muted".
QIcon mutedIcon(const QColor& color);
// The colour the tray icon's images are drawn in, from the tray's background rather than the
// application's palette: GNOME's top bar (and Unity's, Pantheon's) is dark in either colour
// scheme, so the icon is light there; other desktops' panels follow the colour scheme, so the
// icon is light with a dark scheme and dark with a light one. `desktops` as XDG_CURRENT_DESKTOP
// names them, in lower case.
QColor trayColor(bool darkScheme, const std::vector<std::string>& desktops);
// The same for this session: the theme's variant and this desktop.
QColor trayColor();

// The application's own icon (the same drawing as data/io.github.voxlane.Voxlane.svg).
QIcon applicationIcon();
QImage applicationImage(int size);

} // namespace voxlane::StatusIcons
