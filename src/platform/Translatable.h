// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Marks a text of the core that the user reads, for the translators: lupdate takes it for
// QT_TRANSLATE_NOOP (scripts/translations.sh), and the views translate it in `context` where they
// show it. The core itself stays free of Qt and keeps the English text.
#define VOXLANE_TRANSLATE_NOOP(context, text) text
