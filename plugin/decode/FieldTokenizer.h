// Sizes shared by the tokenizer and the decoders.
#pragma once

// Every field buffer: 79 characters and a NUL.
#define NT_FIELD_SIZE 80
#define NT_FIELD_MAX (NT_FIELD_SIZE - 1)
