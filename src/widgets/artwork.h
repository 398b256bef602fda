#pragma once
// The program's pictures, drawn in code: toolbar icons, the connection discs, the brand logos
// and the splash artwork.

#include <QIcon>
#include <QPixmap>
#include <QString>

// The toolbar icon of a button key ("sequence", "group", "message", "settings", "program",
// "read", "test").
QIcon ToolbarIcon(const QString &key);

// A shaded disc: green while connected, red while not.
QPixmap ConnectionDisc(bool connected, int size);

// The brand logos ("Kestrane", "Solvendra"), width by height.
QPixmap BrandLogo(const QByteArray &brand, int width, int height);

// The program's window icon for a brand.
QIcon BrandIcon(const QByteArray &brand);

// A picture of a paging transmitter site (antenna mast with radio waves), for splash windows.
QPixmap TransmitterPicture(int width, int height, bool onDark);

// The full Solvendra splash picture.
QPixmap SolvendraSplashArtwork(int width, int height);
