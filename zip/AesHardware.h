#pragma once
// AES rounds on the processor's AES instructions. The round keys are the
// table cipher's schedule laid out as bytes, so both forms share one key
// expansion; the table cipher stays the fallback and the reference.
#include <cstddef>
#include <cstdint>

// True when the processor has the AES instructions and they are not turned
// off through SetAesHardwareAllowed.
bool AesHardwareAvailable();
// Lets tests run the table path on a machine that has the instructions;
// ciphers keyed afterwards follow the setting. Returns the previous value.
bool SetAesHardwareAllowed(bool allowed);

// roundKeys: (rounds + 1) x 16 bytes. Encryption keys for the Encrypt calls,
// the equivalent inverse cipher's keys for Decrypt.
void AesHardwareEncryptBlocks(const uint8_t* roundKeys, int rounds, const uint8_t* in, uint8_t* out,
                              size_t blocks);
void AesHardwareDecryptBlocks(const uint8_t* roundKeys, int rounds, const uint8_t* in, uint8_t* out,
                              size_t blocks);
// Counter mode over `blocks` whole blocks: before each block the counter's
// first eight bytes are incremented as a little-endian number (no carry into
// the last eight), and the block is xored with the counter's encryption.
// Leaves the last counter used in `counter` and its encryption in `lastKeystream`.
void AesHardwareCounterBlocks(const uint8_t* roundKeys, int rounds, uint8_t* counter, const uint8_t* in,
                              uint8_t* out, size_t blocks, uint8_t* lastKeystream);
