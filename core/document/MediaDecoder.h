#pragma once
// Seam to the platform's decoder of compressed audio files (defined with the import).
