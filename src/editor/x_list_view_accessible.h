#pragma once
// The thumbnail strip as assistive tools see it: a list whose items are the
// frames ("Frame 7", "Frame 8, deleted"), each selectable, with its place on
// the screen, so a screen reader (or a test over AT-SPI) can find a frame.

// Makes Qt describe every XListView this way; called by the strip itself.
void InstallXListViewAccessibility();
