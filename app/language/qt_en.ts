<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="zh_CN">
<context>
    <name>AuthWidget</name>
    <message>
        <source>Orvanta - 设备授权</source>
        <translation>Orvanta - Device authorisation</translation>
    </message>
    <message>
        <source>PC端每次只能授权一台设备，且以最近一次授权为准，前一次的授权会自动失效</source>
        <translation>This PC trusts one device at a time: a new authorisation ends the previous one.</translation>
    </message>
    <message>
        <source>授权移动设备后，可在该设备上扫描下面的二维码，下载 Orvanta移动端，探索更多功能</source>
        <translation>On the authorised device, scan the code below to get Orvanta for phones and do more.</translation>
    </message>
    <message>
        <source>当前无授权设备</source>
        <translation>None authorised</translation>
    </message>
    <message>
        <source>当前已授权设备：</source>
        <translation>Authorised:</translation>
    </message>
</context>
<context>
    <name>BlackListItem</name>
    <message>
        <source>从黑名单中移除</source>
        <translation>Unblock</translation>
    </message>
</context>
<context>
    <name>ClientControl</name>
    <message>
        <source>当前热点方式无法拉黑设备</source>
        <translation>This hotspot cannot block devices</translation>
    </message>
    <message>
        <source>已拉黑，但当前共享方式无法立即断开该设备</source>
        <translation>Blocked, but not cut off until it reconnects</translation>
    </message>
    <message>
        <source>该设备已不能再获取地址，但在它重新连接之前仍可上网。</source>
        <translation>The device can no longer get an address, but it keeps its connection until it reconnects.</translation>
    </message>
    <message>
        <source>当前热点方式无法限速</source>
        <translation>This hotspot cannot limit a device&apos;s speed</translation>
    </message>
    <message>
        <source>限速未生效：该设备已断开</source>
        <translation>Speed limit not applied: the device has left</translation>
    </message>
</context>
<context>
    <name>ClientLook</name>
    <message>
        <source>诺基亚</source>
        <translation>Nokia</translation>
    </message>
    <message>
        <source>惠普</source>
        <translation>HP</translation>
    </message>
    <message>
        <source>三星</source>
        <translation>Samsung</translation>
    </message>
    <message>
        <source>联想</source>
        <translation>Lenovo</translation>
    </message>
    <message>
        <source>LG</source>
        <translation>LG</translation>
    </message>
    <message>
        <source>戴尔</source>
        <translation>Dell</translation>
    </message>
    <message>
        <source>酷派</source>
        <translation>Coolpad</translation>
    </message>
    <message>
        <source>华为</source>
        <translation>Huawei</translation>
    </message>
    <message>
        <source>小米</source>
        <translation>Xiaomi</translation>
    </message>
    <message>
        <source>技嘉</source>
        <translation>Gigabyte</translation>
    </message>
    <message>
        <source>手机</source>
        <translation>Phone</translation>
    </message>
</context>
<context>
    <name>CloseNotifyWidget</name>
    <message>
        <source>关闭</source>
        <translation>Close</translation>
    </message>
    <message>
        <source>您点击了关闭按钮 , 是想 :</source>
        <translation>You clicked close. Do you want to:</translation>
    </message>
    <message>
        <source>隐藏到托盘</source>
        <translation>Hide to tray</translation>
    </message>
    <message>
        <source>退出程序</source>
        <translation>Exit program</translation>
    </message>
    <message>
        <source>开机时启动热点</source>
        <translation>Start the hotspot at logon</translation>
    </message>
    <message>
        <source>不再提醒</source>
        <translation>Don&apos;t ask</translation>
    </message>
    <message>
        <source>确定</source>
        <translation>OK</translation>
    </message>
</context>
<context>
    <name>DrvInstWidget</name>
    <message>
        <source>安装驱动</source>
        <translation>Install driver</translation>
    </message>
    <message>
        <source>Orvanta提示您</source>
        <translation>Orvanta</translation>
    </message>
    <message>
        <source>      Orvanta NAT驱动可在Windows 7以上系统中提升网络共享成功率。安装或更新驱动期间网络会临时断开，完成后即可恢复连接。

      现在可以安装或更新该驱动，是否继续？</source>
        <translation>The Orvanta NAT driver makes sharing more reliable on Windows 7 and later. The network drops briefly while it is installed or updated.

Install or update the driver now?</translation>
    </message>
    <message>
        <source>确定</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>取消</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>确定(%1)</source>
        <translation>OK (%1)</translation>
    </message>
</context>
<context>
    <name>OptionWidget</name>
    <message>
        <source>设置</source>
        <translation>Settings</translation>
    </message>
    <message>
        <source>关闭</source>
        <translation>Close</translation>
    </message>
    <message>
        <source>开机自动启动</source>
        <translation>Start at logon</translation>
    </message>
    <message>
        <source>WiFi开启时禁止机器休眠</source>
        <translation>No sleep while Wi-Fi is on</translation>
    </message>
    <message>
        <source>关闭时提示</source>
        <translation>Ask when closing</translation>
    </message>
    <message>
        <source>新设备加入时提醒</source>
        <translation>Tell me when a new device joins</translation>
    </message>
    <message>
        <source>单位流量费用:</source>
        <translation>Data price:</translation>
    </message>
    <message>
        <source>元/MB</source>
        <translation>¥/MB</translation>
    </message>
    <message>
        <source>输入的数据必须大于0小于2</source>
        <translation>Enter a number above 0 and below 2</translation>
    </message>
</context>
<context>
    <name>Orvanta</name>
    <message>
        <source>设置</source>
        <translation>Settings</translation>
    </message>
    <message>
        <source>最小化窗体</source>
        <translation>Minimise</translation>
    </message>
    <message>
        <source>隐藏至托盘</source>
        <translation>Hide in the tray</translation>
    </message>
    <message>
        <source>扫码连接</source>
        <translation>Connect by QR code</translation>
    </message>
    <message>
        <source>隐藏密码</source>
        <translation>Hide password</translation>
    </message>
    <message>
        <source>WiFi尚未开启</source>
        <translation>Wi-Fi is not on yet</translation>
    </message>
    <message>
        <source>累计流量</source>
        <translation>Total traffic</translation>
    </message>
    <message>
        <source>当前速度</source>
        <translation>Speed</translation>
    </message>
    <message>
        <source>节省流量费</source>
        <translation>Money saved</translation>
    </message>
    <message>
        <source>小伙伴(%1)</source>
        <translation>Clients (%1)</translation>
    </message>
    <message>
        <source>黑名单(%1)</source>
        <translation>Blocked (%1)</translation>
    </message>
    <message>
        <source>定时关机</source>
        <translation>Scheduled shutdown</translation>
    </message>
    <message>
        <source>关于我们</source>
        <translation>About</translation>
    </message>
    <message>
        <source>问题反馈</source>
        <translation>Feedback</translation>
    </message>
    <message>
        <source>退出</source>
        <translation>Quit</translation>
    </message>
    <message>
        <source>WiFi名称太长</source>
        <translation>The Wi-Fi name is too long</translation>
    </message>
    <message>
        <source>WiFi名称太长（最多32字节，一个汉字占3字节）</source>
        <translation>Name too long (32 bytes; 3 per Chinese character)</translation>
    </message>
    <message>
        <source>无效的WiFi名称</source>
        <translation>Invalid Wi-Fi name</translation>
    </message>
    <message>
        <source>密码必须是8~32个英文或数字</source>
        <translation>The password must be 8 to 32 letters or digits</translation>
    </message>
    <message>
        <source>密码必须10个数字</source>
        <translation>The password must be 10 digits</translation>
    </message>
    <message>
        <source>%1元</source>
        <translation>¥%1</translation>
    </message>
    <message>
        <source>正在开启WiFi</source>
        <translation>Starting Wi-Fi</translation>
    </message>
    <message>
        <source>WiFi正在关闭</source>
        <translation>Stopping Wi-Fi</translation>
    </message>
    <message>
        <source>WiFi开启成功</source>
        <translation>Wi-Fi is on</translation>
    </message>
    <message>
        <source>WiFi已关闭</source>
        <translation>Wi-Fi is off</translation>
    </message>
    <message>
        <source>热点被系统或其他程序关闭了（无线网卡被禁用、拔出或进入省电）。点开启按钮可以重新开启。</source>
        <translation>The hotspot was stopped by the system or another program (the wireless adapter was disabled, unplugged or put to sleep). Press the start button to start it again.</translation>
    </message>
    <message>
        <source>网络错误</source>
        <translation>Network error</translation>
    </message>
    <message>
        <source>显示密码</source>
        <translation>Show password</translation>
    </message>
    <message>
        <source>Orvanta %1
把这台电脑的网络变成WiFi热点，分享给手机、平板和其他电脑。</source>
        <translation>Orvanta %1
Turns this PC&apos;s Internet connection into a Wi-Fi hotspot for phones, tablets and other computers.</translation>
    </message>
</context>
<context>
    <name>PoweroffWidget</name>
    <message>
        <source>Orvanta - 定时关机</source>
        <translation>Orvanta - Scheduled shutdown</translation>
    </message>
    <message>
        <source>关闭</source>
        <translation>Close</translation>
    </message>
    <message>
        <source>关机倒计时：</source>
        <translation>Shut down in:</translation>
    </message>
    <message>
        <source>小时</source>
        <translation>h</translation>
    </message>
    <message>
        <source>分钟</source>
        <translation>min</translation>
    </message>
    <message>
        <source>秒</source>
        <translation>s</translation>
    </message>
    <message>
        <source>关机时间：</source>
        <translation>Shutdown at:</translation>
    </message>
    <message>
        <source>开始</source>
        <translation>Start</translation>
    </message>
    <message>
        <source>停止</source>
        <translation>Stop</translation>
    </message>
    <message>
        <source>今天</source>
        <translation>Today</translation>
    </message>
    <message>
        <source>明天</source>
        <translation>Tomorrow</translation>
    </message>
</context>
<context>
    <name>QrCodePanel</name>
    <message>
        <source>用手机相机扫一扫，即可连接WiFi</source>
        <translation>Scan with a phone&apos;s camera to join the Wi-Fi</translation>
    </message>
    <message>
        <source>收起二维码</source>
        <translation>Hide the QR code</translation>
    </message>
</context>
<context>
    <name>StartFailure</name>
    <message>
        <source>没有找到支持的无线网卡</source>
        <translation>No suitable wireless adapter found</translation>
    </message>
    <message>
        <source>请先开启无线网卡</source>
        <translation>Turn the wireless adapter on first</translation>
    </message>
    <message>
        <source>无效的WiFi名称</source>
        <translation>Invalid Wi-Fi name</translation>
    </message>
    <message>
        <source>无效的WiFi密码</source>
        <translation>Invalid Wi-Fi password</translation>
    </message>
    <message>
        <source>开启失败</source>
        <translation>Start failed</translation>
    </message>
    <message>
        <source>设备驱动未安装好</source>
        <translation>The device driver is not installed</translation>
    </message>
    <message>
        <source>WiFi开启失败(%1)</source>
        <translation>Wi-Fi start failed (%1)</translation>
    </message>
    <message>
        <source>开启过程被中断（已关闭或内部出错）。请再点一次开启按钮。</source>
        <translation>The start was interrupted (stopped, or an internal error). Press the start button again.</translation>
    </message>
    <message>
        <source>没有找到能开热点的无线网卡。请插入或启用一块支持热点（AP 模式）的无线网卡，并装好它的驱动。</source>
        <translation>No wireless adapter that can host a hotspot was found. Plug in or enable an adapter that supports a hotspot (AP mode) and install its driver.</translation>
    </message>
    <message>
        <source>无线网卡处于关闭状态（飞行模式或无线开关）。请打开无线网卡后再试。</source>
        <translation>The wireless adapter is switched off (flight mode or the wireless switch). Turn it on and try again.</translation>
    </message>
    <message>
        <source>无线网卡不接受这个WiFi名称。请换一个只含字母、数字的名称。</source>
        <translation>The wireless adapter does not accept this Wi-Fi name. Choose a name of letters and digits only.</translation>
    </message>
    <message>
        <source>无线网卡不接受这个密码。请换一个8~32位的字母或数字密码。</source>
        <translation>The wireless adapter does not accept this password. Choose a password of 8 to 32 letters or digits.</translation>
    </message>
    <message>
        <source>无线网卡拒绝开启热点。请重新插拔或禁用再启用无线网卡，然后再试。</source>
        <translation>The wireless adapter refused to start the hotspot. Replug it, or disable and enable it, then try again.</translation>
    </message>
    <message>
        <source>热点已建立，但找不到承载它的虚拟网卡。请更新无线网卡驱动后再试。</source>
        <translation>The hotspot was created, but the virtual adapter carrying it was not found. Update the wireless adapter&apos;s driver and try again.</translation>
    </message>
    <message>
        <source>这台电脑上没有可用的开热点方式。请确认无线网卡的驱动支持承载网络或 AP 模式。</source>
        <translation>This PC has no way to host a hotspot. Make sure the wireless adapter&apos;s driver supports the hosted network or AP mode.</translation>
    </message>
    <message>
        <source>共享上网所需的驱动没有装好。请重新安装驱动后再试。</source>
        <translation>The driver needed for connection sharing is not installed properly. Reinstall it and try again.</translation>
    </message>
    <message>
        <source>无法启动网络共享组件。请确认“Internet 连接共享”服务可以启动，或安装共享驱动。</source>
        <translation>Connection sharing could not be started. Make sure the “Internet Connection Sharing” service can start, or install the sharing driver.</translation>
    </message>
    <message>
        <source>无法把电脑的上网连接共享给热点。请确认电脑已连上网络，且没有别的程序占用共享。</source>
        <translation>The PC&apos;s Internet connection could not be shared with the hotspot. Make sure the PC is online and no other program is using sharing.</translation>
    </message>
    <message>
        <source>无法启动给手机分配地址的服务（端口 67 可能被占用）。请关闭其他热点或 DHCP 程序后再试。</source>
        <translation>The service that gives devices their addresses could not start (port 67 may be in use). Close other hotspot or DHCP programs and try again.</translation>
    </message>
    <message>
        <source>无法读取电脑的网络连接列表。请重启电脑后再试。</source>
        <translation>The PC&apos;s list of network connections could not be read. Restart the PC and try again.</translation>
    </message>
    <message>
        <source>无法给热点网卡设置地址。请确认没有其他程序在修改这块网卡，然后再试。</source>
        <translation>The hotspot adapter&apos;s address could not be set. Make sure no other program is changing that adapter, then try again.</translation>
    </message>
    <message>
        <source>热点正在开启或关闭。请稍等片刻再试。</source>
        <translation>The hotspot is starting or stopping. Wait a moment and try again.</translation>
    </message>
    <message>
        <source>无线网卡当前的状态不允许开热点（可能正被别的热点程序使用）。请关闭其他热点程序，或禁用再启用无线网卡后再试。</source>
        <translation>The wireless adapter is busy (another hotspot program may be using it). Close other hotspot programs, or disable and enable the adapter, then try again.</translation>
    </message>
    <message>
        <source>无线网卡或它的驱动不支持开热点。请更新驱动或换一块网卡。</source>
        <translation>The wireless adapter or its driver cannot host a hotspot. Update the driver or use another adapter.</translation>
    </message>
    <message>
        <source>权限不足。请以管理员（root）身份运行本程序。</source>
        <translation>Not enough rights. Run this program as administrator (root).</translation>
    </message>
    <message>
        <source>系统的无线服务没有运行。请启动无线服务（WLAN AutoConfig）后再试。</source>
        <translation>The system&apos;s wireless service is not running. Start it (WLAN AutoConfig) and try again.</translation>
    </message>
    <message>
        <source>缺少开热点所需的系统组件。请安装无线网卡驱动和热点组件后再试。</source>
        <translation>System parts needed for a hotspot are missing. Install the wireless adapter&apos;s driver and the hotspot components, then try again.</translation>
    </message>
    <message>
        <source>热点没能开启（错误代码 %1）。请重启无线网卡或电脑后再试。</source>
        <translation>The hotspot could not start (error code %1). Restart the wireless adapter or the PC and try again.</translation>
    </message>
</context>
<context>
    <name>WhiteListItem</name>
    <message>
        <source>限速: %1 KB/S</source>
        <translation>Limit: %1 KB/s</translation>
    </message>
    <message>
        <source>不限速</source>
        <translation>No limit</translation>
    </message>
    <message>
        <source>修改备注</source>
        <translation>Rename</translation>
    </message>
    <message>
        <source>标记为我的手机</source>
        <translation>Mark as my phone</translation>
    </message>
    <message>
        <source>更多选项</source>
        <translation>More options</translation>
    </message>
    <message>
        <source>限速管理</source>
        <translation>Speed limit</translation>
    </message>
    <message>
        <source>拉入黑名单</source>
        <translation>Block</translation>
    </message>
</context>
<context>
    <name>SystemTray</name>
    <message>
        <source>定时关机</source>
        <translation>Scheduled shutdown</translation>
    </message>
    <message>
        <source>关于我们</source>
        <translation>About</translation>
    </message>
    <message>
        <source>问题反馈</source>
        <translation>Feedback</translation>
    </message>
    <message>
        <source>退出</source>
        <translation>Quit</translation>
    </message>
    <message>
        <source>新设备加入</source>
        <translation>New device</translation>
    </message>
    <message>
        <source>随机MAC地址，不指明厂商</source>
        <translation>random MAC address, names no maker</translation>
    </message>
    <message>
        <source>厂商未知</source>
        <translation>maker unknown</translation>
    </message>
    <message>
        <source>%1（%2，%3）第一次连接到热点</source>
        <translation>%1 (%2, %3) joined the hotspot for the first time</translation>
    </message>
</context>
</TS>
