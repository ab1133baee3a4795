"""quillet_dictool build on text with Windows line ends: the CR of a CRLF line
is no part of the stored value, so it never reaches a reading."""
import subprocess

from conftest import CHARS, DICTOOL, WORDS, write_dict


def build_from_text(path, text):
    subprocess.run([str(DICTOOL), "build", "-", str(path)], input=text, check=True)


def test_crlf_input_stores_values_without_cr(tmp_path):
    build_from_text(tmp_path / "crlf.bin", "香港\thoeng1 gong2\r\n一\tjat1\r\n".encode())
    listed = subprocess.run([str(DICTOOL), "check", str(tmp_path / "crlf.bin")],
                            capture_output=True, check=True).stdout.decode()
    assert listed == "一\tjat1\n香港\thoeng1 gong2\n"


def test_crlf_dictionary_gives_clean_readings(quillet, tmp_path):
    crlf = "".join(f"{k}\t{v}\r\n" for k, v in sorted(WORDS.items())).encode()
    build_from_text(tmp_path / "word.bin", crlf)
    write_dict(tmp_path / "char.bin", CHARS)
    p = quillet.PyPipeline(data_dir=str(tmp_path))
    assert p.convert("香港一") == "hoeng1 gong2 jat1"
    assert p.convert_detailed("香港")[0][1] == "hoeng1 gong2"
