#pragma once

/// Puts the program's bitmaps (splash 140, tree images 130) into the table
/// of embedded resources, as packed DIBs. Safe to call more than once.
void RegisterEmbeddedResources();
