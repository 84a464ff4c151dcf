// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Catalogue texts that carry a number ("Delete picture %d?") come from language files
// the user can edit, so they are formatted here rather than handed to printf: the first
// integer conversion (%d %i %u %x %X, with flags, width and precision) takes the value,
// "%%" is a percent sign, and every other % sequence is copied as it stands. The result
// has no length limit. Any thread.

#include <cstdint>
#include <optional>

#include <QString>

namespace dm {

// Without a value every conversion is copied as it stands.
QString FormatCatalogueMessage(const QString& text, std::optional<uint32_t> value);

}  // namespace dm
