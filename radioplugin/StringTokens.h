#pragma once
// The tokenizer of the reply parser, and the decimal reading that the parser
// and the parameter file share.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// Returns the next token of S and removes it, with its delimiter, from S.
// A token that begins with QuoteChar ends at QuoteChar directly followed by
// Delimiter; a quote character anywhere else is an ordinary character. An
// empty QuoteChar means no quoting. Raises EConvertError for an empty
// Delimiter, and for a quoted token when QuoteChar is part of Delimiter.
std::string GetNextToken(std::string& S, const std::string& Delimiter, const std::string& QuoteChar);

// Every token of S, empty ones included ("a  b" gives "a", "", "b"); a
// delimiter at the very end yields no empty last token.
std::vector<std::string> SplitTokens(std::string S, const std::string& Delimiter, const std::string& QuoteChar);

// A decimal integer: an optional sign and at least one digit, nothing else,
// within 64 bits; std::nullopt for anything else.
std::optional<std::int64_t> ParseDecimal(const std::string& text);
// The same within 32 bits.
std::optional<std::int32_t> ParseDecimal32(const std::string& text);

// Upper case of a Latin-1 text (the module's bytes): a-z and the accented
// small letters; every other byte stays as it is.
std::string UpperCase(std::string text);
