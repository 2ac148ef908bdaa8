#pragma once
// The texts of the Help menu's boxes.

inline const char* const fileFormatsText =
    "<p>Supported formats for recordings are:</p><ul>"
    "<li><b>Stereo WAV</b></li>"
    "<li><b>SigMF</b> meta/data couple of files (choose the .sigmf-meta file, the application "
    "expects the same filename with .sigmf-data extension to be in the same directory).</li>"
    "<li><b>SigMF archive</b> (.sigmf file holding the .sigmf-meta and .sigmf-data files; "
    "when it holds several, a list asks which to open).</li>"
    "<li><b>IQW</b> binary (equivalent to SigMF cf32_le)</li>"
    "<li><b>Binary</b>: all datatypes defined for SigMF are supported. Syntax is "
    "[r|c][f|i|u][bit_depth]_[le|be], example: ci32_le.</li></ul>"
    "<p>When \"Auto\" is selected, the extension is used to infer the file format "
    "(not possible with binary format).</p>";

inline const char* const aboutText =
    "<p><b>Norvale version 0.1.5</b>, written by the Norvale developers.</p>"
    "<p>THIS SOFTWARE IS PROVIDED BY THE AUTHORS \"AS IS\" AND ANY EXPRESS OR IMPLIED "
    "WARRANTIES, INCLUDING, BUT NOT LIMITED TO, THE IMPLIED WARRANTIES OF MERCHANTABILITY "
    "AND FITNESS FOR A PARTICULAR PURPOSE ARE DISCLAIMED. IN NO EVENT SHALL THE AUTHORS BE "
    "LIABLE FOR ANY DIRECT, INDIRECT, INCIDENTAL, SPECIAL, EXEMPLARY, OR CONSEQUENTIAL "
    "DAMAGES (INCLUDING, BUT NOT LIMITED TO, PROCUREMENT OF SUBSTITUTE GOODS OR SERVICES; "
    "LOSS OF USE, DATA, OR PROFITS; OR BUSINESS INTERRUPTION) HOWEVER CAUSED AND ON ANY "
    "THEORY OF LIABILITY, WHETHER IN CONTRACT, STRICT LIABILITY, OR TORT (INCLUDING "
    "NEGLIGENCE OR OTHERWISE) ARISING IN ANY WAY OUT OF THE USE OF THIS SOFTWARE, EVEN IF "
    "ADVISED OF THE POSSIBILITY OF SUCH DAMAGE.</p>";

inline const char* const mouseAndKeysText =
    "<p><b>Mouse</b></p><ul>"
    "<li><b>Left drag</b> across a time plot selects a time range; up or down the spectrogram, "
    "or with Shift, a band; along the spectrum, a band.</li>"
    "<li><b>Wheel</b> zooms time about the pointer; <b>Ctrl+wheel</b> on the spectrogram, and "
    "the wheel on the spectrum, zoom the band.</li>"
    "<li><b>Middle drag</b> or <b>Ctrl+left drag</b> pans.</li>"
    "<li><b>Click</b> places cursor A, then B; drag a cursor's line to move it; "
    "<b>Escape</b> clears them.</li>"
    "<li><b>Shift+click</b> on the spectrum puts marker 2 on the bin under the pointer.</li>"
    "<li><b>Right drag</b> on the spectrogram draws an annotation's box and asks for its label "
    "and comment.</li></ul>"
    "<p><b>Keys</b></p><ul>"
    "<li><b>Alt+Left</b> (or Backspace on a plot): back to the previous view; "
    "<b>Alt+Right</b>: forward; <b>Ctrl+Home</b> (or Home on a plot): the whole recording.</li>"
    "<li><b>Return</b> in a field applies its group; <b>Escape</b> puts back what is shown.</li>"
    "<li>On the Frequency tab, <b>P</b> (or Peak): marker 1 on the band's highest peak; "
    "<b>Shift+P</b>: marker 2 on the peak beside it; <b>Left</b>, <b>Right</b> on the spectrum: "
    "the last marker to the next peak.</li>"
    "<li><b>A</b> annotates the time range and band shown; <b>D</b> detects the bursts of the "
    "whole recording and annotates them; <b>N</b> and <b>P</b> (on the Time "
    "tab) show the next and previous annotation; <b>Delete</b> in the table removes the "
    "selected ones; "
    "<b>Ctrl+Z</b> undoes a change of the annotations, <b>Ctrl+Shift+Z</b> redoes it; "
    "<b>Ctrl+S</b> saves them.</li>"
    "<li><b>Ctrl+O</b> open, <b>Ctrl+E</b> export the selection, <b>Ctrl+Q</b> quit.</li></ul>";
