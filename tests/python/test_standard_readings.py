"""Standard Hong Kong Cantonese readings of common characters and words, read
through the real data directory that the data build writes (the bundled
"data" directory, or QUILLET_TEST_DATA_DIR). The readings are the Jyutping of
the Linguistic Society of Hong Kong as Hong Kong speakers say these words,
written down by the Quillet developers from their own knowledge of Cantonese;
none is taken from an evaluation set or from another tool's data. Skips when
no built data directory is found."""
import os
import pathlib

import pytest

ROOT = pathlib.Path(__file__).resolve().parents[2]
DATA = pathlib.Path(os.environ.get("QUILLET_TEST_DATA_DIR", ROOT / "data"))

pytestmark = pytest.mark.skipif(not (DATA / "word.bin").exists() or not (DATA / "char.bin").exists(),
                                reason="no built data directory at %s" % DATA)

# Single characters, read alone.
CHARACTERS = """
我 ngo5|你 nei5|佢 keoi5|係 hai6|唔 m4|好 hou2|食 sik6|飯 faan6|飲 jam2|水 seoi2|茶 caa4|人 jan4
大 daai6|小 siu2|細 sai3|中 zung1|日 jat6|月 jyut6|天 tin1|山 saan1|海 hoi2|火 fo2|心 sam1
手 sau2|口 hau2|耳 ji5|頭 tau4|腳 goek3|門 mun4|車 ce1|馬 maa5|牛 ngau4|羊 joeng4|魚 jyu4
雞 gai1|狗 gau2|貓 maau1|鳥 niu5|花 faa1|草 cou2|樹 syu6|書 syu1|字 zi6|紙 zi2|筆 bat1|錢 cin2
屋 uk1|家 gaa1|路 lou6|街 gaai1|東 dung1|南 naam4|西 sai1|北 bak1|白 baak6|紅 hung4|黃 wong4
綠 luk6|藍 laam4|冇 mou5|有 jau5|喺 hai2|嘅 ge3|咗 zo2|緊 gan2|過 gwo3|嚟 lai4|去 heoi3
返 faan1|睇 tai2|聽 teng1|講 gong2|寫 se2|讀 duk6|買 maai5|賣 maai6|開 hoi1|關 gwaan1|企 kei5
走 zau2|瞓 fan3|做 zou6|工 gung1|學 hok6|老 lou5|愛 oi3|想 soeng2|知 zi1|識 sik1|叫 giu3
問 man6|答 daap3|等 dang2|俾 bei2|畀 bei2|攞 lo2|搵 wan2|咩 me1|乜 mat1|邊 bin1|點 dim2|幾 gei2
今 gam1|明 ming4|晚 maan5|早 zou2|夜 je6|春 ceon1|秋 cau1|冬 dung1|風 fung1|雨 jyu5|雪 syut3
雲 wan4|電 din6|香 hoeng1|港 gong2|國 gwok3|市 si5|灣 waan1|病 beng6|痛 tung3|藥 joek6
衫 saam1|褲 fu3|鞋 haai4|床 cong4|枱 toi2|凳 dang3|燈 dang1|杯 bui1|碗 wun2|刀 dou1|米 mai5
麵 min6|粥 zuk1|湯 tong1|肉 juk6|菜 coi3|糖 tong4|鹽 jim4|油 jau4|酒 zau2|奶 naai5|平 ping4
貴 gwai3|嬲 nau1|驚 geng1|攰 gui6|𨋢 lip1|橙 caang2|啲 di1|哋 dei6|嘢 je5|咁 gam3|噉 gam2
嗰 go2|佬 lou2|仔 zai2|女 neoi5|男 naam4|爸 baa1|媽 maa1|飛 fei1|船 syun4
"""

# Words, read whole.
WORDS = """
我哋 ngo5 dei6|你哋 nei5 dei6|佢哋 keoi5 dei6|今日 gam1 jat6|聽日 ting1 jat6|尋日 cam4 jat6
琴日 kam4 jat6|而家 ji4 gaa1|香港 hoeng1 gong2|廣東話 gwong2 dung1 waa2|普通話 pou2 tung1 waa2
英文 jing1 man2|中文 zung1 man2|學校 hok6 haau6|老師 lou5 si1|學生 hok6 saang1|朋友 pang4 jau5
屋企 uk1 kei2|多謝 do1 ze6|唔該 m4 goi1|早晨 zou2 san4|點解 dim2 gaai2|點樣 dim2 joeng2
幾多 gei2 do1|邊度 bin1 dou6|邊個 bin1 go3|乜嘢 mat1 je5|咩嘢 me1 je5|食飯 sik6 faan6
飲茶 jam2 caa4|返工 faan1 gung1|放工 fong3 gung1|返學 faan1 hok6|放學 fong3 hok6
瞓覺 fan3 gaau3|醫生 ji1 sang1|醫院 ji1 jyun2|銀行 ngan4 hong4|電話 din6 waa2|電視 din6 si6
電腦 din6 nou5|手機 sau2 gei1|巴士 baa1 si2|的士 dik1 si2|地鐵 dei6 tit3|飛機 fei1 gei1
機場 gei1 coeng4|火車 fo2 ce1|單車 daan1 ce1|時間 si4 gaan3|時候 si4 hau6|鐘頭 zung1 tau4
禮拜 lai5 baai3|星期 sing1 kei4|舊年 gau6 nin2|出年 ceot1 nin2|新年 san1 nin4|生日 saang1 jat6
結婚 git3 fan1|男仔 naam4 zai2|女仔 neoi5 zai2|細路 sai3 lou6|老公 lou5 gung1|老婆 lou5 po4
爸爸 baa4 baa1|媽媽 maa4 maa1|哥哥 go4 go1|家姐 gaa1 ze1|細佬 sai3 lou2|公司 gung1 si1
工作 gung1 zok3|天氣 tin1 hei3|落雨 lok6 jyu5|靚仔 leng3 zai2|靚女 leng3 neoi2|鍾意 zung1 ji3
知道 zi1 dou3|明白 ming4 baak6|認識 jing6 sik1|覺得 gok3 dak1|因為 jan1 wai6|所以 so2 ji5
但係 daan6 hai6|或者 waak6 ze2|如果 jyu4 gwo2|雖然 seoi1 jin4|已經 ji5 ging1|一齊 jat1 cai4
一定 jat1 ding6|可能 ho2 nang4|可以 ho2 ji5|應該 jing1 goi1|需要 seoi1 jiu3|重要 zung6 jiu3
問題 man6 tai4|辦法 baan6 faat3|意思 ji3 si1|東西 dung1 sai1|地方 dei6 fong1|世界 sai3 gaai3
政府 zing3 fu2|社會 se5 wui2|經濟 ging1 zai3|文化 man4 faa3|歷史 lik6 si2|音樂 jam1 ngok6
電影 din6 jing2|新聞 san1 man4|報紙 bou3 zi2|雜誌 zaap6 zi3|圖書館 tou4 syu1 gun2
餐廳 caan1 teng1|茶餐廳 caa4 caan1 teng1|酒樓 zau2 lau4|街市 gaai1 si5|身體 san1 tai2
健康 gin6 hong1|運動 wan6 dung6|游水 jau4 seoi2|跑步 paau2 bou6|踢波 tek3 bo1|打波 daa2 bo1
行山 haang4 saan1|旅行 leoi5 hang4|酒店 zau2 dim3|機會 gei1 wui6|大學 daai6 hok6|中學 zung1 hok6
小學 siu2 hok6|幼稚園 jau3 zi6 jyun2|考試 haau2 si5|功課 gung1 fo3|語言 jyu5 jin4|文字 man4 zi6
數學 sou3 hok6|科學 fo1 hok6|自己 zi6 gei2|大家 daai6 gaa1|人哋 jan4 dei6|先生 sin1 saang1
小姐 siu2 ze2|太太 taai3 taai2|呢個 ni1 go3|嗰個 go2 go3|嗰度 go2 dou6
呢啲 ni1 di1|嗰啲 go2 di1|噉樣 gam2 joeng2|即係 zik1 hai6|其實 kei4 sat6|真係 zan1 hai6
梗係 gang2 hai6|唔係 m4 hai6|係咪 hai6 mai6|有冇 jau5 mou5|唔使 m4 sai2|唔好 m4 hou2
好似 hou2 ci5|一樣 jat1 joeng6|差唔多 caa1 m4 do1|好多 hou2 do1|啱啱 ngaam1 ngaam1|頭先 tau4 sin1
之後 zi1 hau6|之前 zi1 cin4|以前 ji5 cin4|以後 ji5 hau6|跟住 gan1 zyu6|然後 jin4 hau6
開始 hoi1 ci2|結果 git3 gwo2|最後 zeoi3 hau6|銀紙 ngan4 zi2|價錢 gaa3 cin4
買嘢 maai5 je5|食嘢 sik6 je5|做嘢 zou6 je5|講嘢 gong2 je5|睇戲 tai2 hei3|聽歌 teng1 go1
唱歌 coeng3 go1|跳舞 tiu3 mou5|影相 jing2 soeng2|相機 soeng2 gei1|照片 ziu3 pin2
顏色 ngaan4 sik1|味道 mei6 dou6|好食 hou2 sik6|好睇 hou2 tai2|好聽 hou2 teng1|開心 hoi1 sam1
傷心 soeng1 sam1|肚餓 tou5 ngo6|口渴 hau2 hot3|眼瞓 ngaan5 fan3|頭痛 tau4 tung3|感冒 gam2 mou6
發燒 faat3 siu1|唔該晒 m4 goi1 saai3|對唔住 deoi3 m4 zyu6|唔緊要 m4 gan2 jiu3
冇所謂 mou5 so2 wai6|得閒 dak1 haan4|幫手 bong1 sau2|搵工 wan2 gung1|人工 jan4 gung1
老細 lou5 sai3|同事 tung4 si6|開會 hoi1 wui2|會議 wui6 ji5|辦公室 baan6 gung1 sat1
電郵 din6 jau4|上網 soeng5 mong5|落車 lok6 ce1|上車 soeng5 ce1|搭車 daap3 ce1|揸車 zaa1 ce1
塞車 sak1 ce1|紅綠燈 hung4 luk6 dang1|馬路 maa5 lou6|樓梯 lau4 tai1|廁所 ci3 so2
廚房 cyu4 fong2|客廳 haak3 teng1|冷氣 laang5 hei3|雪櫃 syut3 gwai6|洗衫 sai2 saam1
煮飯 zyu2 faan6|早餐 zou2 caan1|午餐 ng5 caan1|晚餐 maan5 caan1|宵夜 siu1 je2|點心 dim2 sam1
燒賣 siu1 maai2|蝦餃 haa1 gaau2|叉燒 caa1 siu1|奶茶 naai5 caa4|檸檬茶 ning4 mung1 caa4
菠蘿包 bo1 lo4 baau1|蛋撻 daan6 taat1|魚蛋 jyu4 daan2|雞蛋 gai1 daan2|牛肉 ngau4 juk6
豬肉 zyu1 juk6|雞翼 gai1 jik6|白飯 baak6 faan6|炒飯 caau2 faan6|麵包 min6 baau1
朱古力 zyu1 gu1 lik1|雪糕 syut3 gou1|汽水 hei3 seoi2|啤酒 be1 zau2|紅酒 hung4 zau2
咖啡 gaa3 fe1|蘋果 ping4 gwo2|香蕉 hoeng1 ziu1|西瓜 sai1 gwaa1|筷子 faai3 zi2|九龍 gau2 lung4
新界 san1 gaai3|睡房 seoi6 fong2|鴛鴦 jyun1 joeng1
"""

# Polyphones read by their neighbours (the context rules): whole phrases.
IN_CONTEXT = """
佢坐喺度 keoi5 co5 hai2 dou6|呢位先生 ni1 wai2 sin1 saang1|佢重未返 keoi5 zung6 mei6 faan1
等陣試下 dang2 zan6 si3 haa5|咪係囉 mai6 hai6 lo1|佢嚟咗未 keoi5 lai4 zo2 mei6|坐 co5
"""


def rows(table):
    out = []
    for cell in table.replace("\n", "|").split("|"):
        cell = cell.strip()
        if cell:
            text, reading = cell.split(" ", 1)
            out.append((text, reading))
    return out


def test_the_tables_are_large_and_well_formed():
    # Each row is a text and one syllable per character; no text twice.
    all_rows = rows(CHARACTERS) + rows(WORDS) + rows(IN_CONTEXT)
    assert len(rows(CHARACTERS)) + len(rows(WORDS)) >= 300
    for text, reading in all_rows:
        assert len(reading.split(" ")) == len(text), (text, reading)
    texts = [t for t, _ in all_rows]
    assert len(set(texts)) == len(texts), [t for t in texts if texts.count(t) > 1]


@pytest.fixture(scope="module")
def bundled(quillet):
    return quillet.PyPipeline(data_dir=str(DATA))


def misread(pipeline, table):
    """The rows of `table` that convert or convert_detailed read otherwise."""
    wrong = []
    for text, reading in rows(table):
        got = pipeline.convert(text)
        detailed = " ".join(t[1] for t in pipeline.convert_detailed(text))
        if got != reading or detailed != reading:
            wrong.append("%s: %s (convert %s, detailed %s)" % (text, reading, got, detailed))
    return wrong


@pytest.mark.parametrize("table", ["characters", "words"])
def test_standard_readings(bundled, table):
    wrong = misread(bundled, CHARACTERS if table == "characters" else WORDS)
    assert not wrong, "\n".join(wrong)


@pytest.mark.skipif(not (DATA / "context_readings.bin").exists(),
                    reason="the data directory has no context rules")
def test_readings_in_context(bundled):
    wrong = misread(bundled, IN_CONTEXT)
    assert not wrong, "\n".join(wrong)
